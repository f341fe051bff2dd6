#include "codecs/png/png_format.h"

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

namespace {
constexpr uint8_t kGrey = 0;
constexpr uint8_t kPalette = 3;
constexpr uint8_t kGreyAlpha = 4;
constexpr uint8_t kRgba = 6;
constexpr double kMetresPerInch = 0.0254;
}  // namespace

// A GDI bitmap made from the picture: palettes keep their depth (2 bits become 4), grey of
// 8 bits or fewer is an 8-bit palette, anything with transparency is 32 bits, the rest 24
// (GDI has no 16-bit grey or 48-bit colour bitmap).
PngSourceFormat DescribePngSource(uint8_t colorType, uint8_t bitDepth, bool hasTrns) {
    const bool wide = bitDepth == 16;
    if (colorType == kGreyAlpha || colorType == kRgba || hasTrns) {
        return {32, wide ? PixelFormat::Argb64 : PixelFormat::Argb32, true};
    }
    if (colorType == kPalette) {
        if (bitDepth == 1) return {1, PixelFormat::Indexed1, false};
        if (bitDepth <= 4) return {4, PixelFormat::Indexed4, false};
        return {8, PixelFormat::Indexed8, false};
    }
    if (colorType == kGrey) {
        return wide ? PngSourceFormat{24, PixelFormat::Gray16, false}
                    : PngSourceFormat{8, PixelFormat::Indexed8, false};
    }
    return {24, wide ? PixelFormat::Rgb48 : PixelFormat::Rgb24, false};
}

PngDpi DpiFromPhys(uint32_t pixelsPerUnitX, uint32_t pixelsPerUnitY, uint8_t unit) {
    if (unit != 1) return {};
    return {static_cast<float>(pixelsPerUnitX * kMetresPerInch),
            static_cast<float>(pixelsPerUnitY * kMetresPerInch)};
}

bool PngRowBuffersFit(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType) {
    constexpr uint64_t kBudgetBytesPerPixel = 9 - 4;  // less the pixel store's 4
    constexpr uint64_t kAllowance = uint64_t{16} << 20;
    uint64_t channels = 1;
    if (colorType == 2) channels = 3;
    if (colorType == 4) channels = 2;
    if (colorType == 6) channels = 4;
    // Sides below 2^32 and at most 64 bits a pixel: no product here reaches 2^64.
    const uint64_t storedRow = (uint64_t{width} * channels * bitDepth + 7) / 8 + 1;
    uint64_t rows = 2 * storedRow;
    if (bitDepth == 16) rows += uint64_t{width} * 8;
    return rows <= uint64_t{width} * height * kBudgetBytesPerPixel + kAllowance;
}

}  // namespace pic2pnm::codecs

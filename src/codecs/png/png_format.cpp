#include "codecs/png/png_format.h"

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

namespace {
constexpr uint8_t kGrey = 0;
constexpr uint8_t kRgb = 2;
constexpr uint8_t kPalette = 3;
constexpr uint8_t kGreyAlpha = 4;
constexpr uint8_t kRgba = 6;
constexpr double kMetresPerInch = 0.0254;

uint32_t SamplesPerPixel(uint8_t colorType) {
    switch (colorType) {
        case kRgb: return 3;
        case kGreyAlpha: return 2;
        case kRgba: return 4;
        default: return 1;  // grey, or a palette index
    }
}
}  // namespace

SourceFormat DescribePngSource(uint8_t colorType, uint8_t bitDepth, bool hasTrns,
                               uint32_t paletteEntries) {
    const bool grey = colorType == kGrey || colorType == kGreyAlpha;
    const bool alpha = colorType == kGreyAlpha || colorType == kRgba || hasTrns;
    return {.channels = grey ? SourceChannels::Grey : SourceChannels::Colour,
            .sampleBits = bitDepth,
            .pixelBits = static_cast<uint8_t>(bitDepth * SamplesPerPixel(colorType)),
            .alpha = alpha ? AlphaKind::Straight : AlphaKind::None,
            .paletteEntries = colorType == kPalette ? paletteEntries : 0};
}

PngDpi DpiFromPhys(uint32_t pixelsPerUnitX, uint32_t pixelsPerUnitY, uint8_t unit) {
    if (unit != 1) return {};
    return {static_cast<float>(pixelsPerUnitX * kMetresPerInch),
            static_cast<float>(pixelsPerUnitY * kMetresPerInch)};
}

bool PngRowBuffersFit(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType,
                      const DecodeLimits& limits) {
    // Sides below 2^32 and at most 64 bits a pixel: no product here reaches 2^64.
    const uint64_t storedRow =
        (uint64_t{width} * SamplesPerPixel(colorType) * bitDepth + 7) / 8 + 1;
    uint64_t rows = 2 * storedRow;
    if (bitDepth == 16) rows += uint64_t{width} * 8;
    return rows <= limits.BudgetBesidePixels(uint64_t{width} * height);
}

}  // namespace pic2pnm::codecs

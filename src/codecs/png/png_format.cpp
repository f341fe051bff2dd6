#include "codecs/png/png_format.h"

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

namespace {
constexpr uint8_t ColourTypeGrey = 0;
constexpr uint8_t ColourTypeRgb = 2;
constexpr uint8_t ColourTypePalette = 3;
constexpr uint8_t ColourTypeGreyAlpha = 4;
constexpr uint8_t ColourTypeRgba = 6;
constexpr double MetresPerInch = 0.0254;

uint32_t SamplesPerPixel(uint8_t colorType) {
    switch (colorType) {
        case ColourTypeRgb: return 3;
        case ColourTypeGreyAlpha: return 2;
        case ColourTypeRgba: return 4;
        default: return 1;  // grey, or a palette index
    }
}
}  // namespace

SourceFormat DescribePngSource(uint8_t colorType, uint8_t bitDepth, bool hasTrns,
                               uint32_t paletteEntries) {
    const bool grey = colorType == ColourTypeGrey || colorType == ColourTypeGreyAlpha;
    const bool alpha = colorType == ColourTypeGreyAlpha || colorType == ColourTypeRgba || hasTrns;
    return {.channels = grey ? SourceChannels::Grey : SourceChannels::Colour,
            .sampleBits = bitDepth,
            .pixelBits = static_cast<uint8_t>(bitDepth * SamplesPerPixel(colorType)),
            .alpha = alpha ? AlphaKind::Straight : AlphaKind::None,
            .paletteEntries = colorType == ColourTypePalette ? paletteEntries : 0};
}

PngDpi DpiFromPhys(uint32_t pixelsPerUnitX, uint32_t pixelsPerUnitY, uint8_t unit) {
    if (unit != 1) return {};
    return {static_cast<float>(pixelsPerUnitX * MetresPerInch),
            static_cast<float>(pixelsPerUnitY * MetresPerInch)};
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

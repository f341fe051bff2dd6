#include "codecs/tiff/tiff_format.h"

#include <algorithm>
#include <cmath>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {
namespace {

float ToDpi(float resolution, double perInch) {
    if (!std::isfinite(resolution) || resolution <= 0) return 0;
    return static_cast<float>(resolution * perInch);
}

}  // namespace

// Grey is what either grey photometric says; CMYK the separated one; every other (RGB,
// YCbCr, the CIE Lab kinds, ...) is colour. Sample and pixel sizes above 255 bits, which no
// reader takes, are held at 255.
SourceFormat DescribeTiffSource(uint16_t photometric, uint16_t bitsPerSample,
                                uint16_t samplesPerPixel, bool hasAlpha) {
    const bool grey =
        photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    const bool palette = photometric == PHOTOMETRIC_PALETTE;
    const uint32_t pixelBits = uint32_t{bitsPerSample} * samplesPerPixel;
    return {.channels = grey                                   ? SourceChannels::Grey
                        : photometric == PHOTOMETRIC_SEPARATED ? SourceChannels::Cmyk
                                                               : SourceChannels::Colour,
            .sampleBits = static_cast<uint8_t>(std::min<uint16_t>(bitsPerSample, 255)),
            .pixelBits = static_cast<uint8_t>(std::min<uint32_t>(pixelBits, 255)),
            .alpha = hasAlpha ? AlphaKind::Premultiplied : AlphaKind::None,
            .paletteEntries = palette && bitsPerSample <= 16 ? 1u << bitsPerSample : 0};
}

TiffDpi ReadTiffDpi(const TiffLibrary& libtiff, TIFF* tiff) {
    uint16_t unit = RESUNIT_INCH;
    libtiff.GetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    double perInch = 0;
    if (unit == RESUNIT_INCH) perInch = 1;
    if (unit == RESUNIT_CENTIMETER) perInch = 2.54;
    TiffDpi dpi;
    float resolution = 0;
    if (libtiff.GetField(tiff, TIFFTAG_XRESOLUTION, &resolution) == 1)
        dpi.x = ToDpi(resolution, perInch);
    if (libtiff.GetField(tiff, TIFFTAG_YRESOLUTION, &resolution) == 1)
        dpi.y = ToDpi(resolution, perInch);
    return dpi;
}

void FillTiffPicture(const TiffLibrary& libtiff, TIFF* tiff, const SourceFormat& source,
                     std::shared_ptr<PixelStore> store, DecodedPicture& out) {
    const TiffDpi dpi = ReadTiffDpi(libtiff, tiff);
    out.width = store->Width();
    out.height = store->Height();
    out.source = source;
    out.dpiX = dpi.x;
    out.dpiY = dpi.y;
    out.pixels = std::move(store);
}

}  // namespace pic2pnm::codecs

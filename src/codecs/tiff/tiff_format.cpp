#include "codecs/tiff/tiff_format.h"

#include <cmath>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {
namespace {

TiffSourceFormat IndexedOfDepth(uint16_t bitsPerSample) {
    if (bitsPerSample == 1) return {1, PixelFormat::Indexed1};
    if (bitsPerSample <= 4) return {4, PixelFormat::Indexed4};
    return {8, PixelFormat::Indexed8};
}

float ToDpi(float resolution, double perInch) {
    if (!std::isfinite(resolution) || resolution <= 0) return 0;
    return static_cast<float>(resolution * perInch);
}

}  // namespace

// A GDI bitmap made from the picture: grey and palettes of 8 bits or fewer keep their depth
// as a palette (2 bits become 4), anything with alpha is 32 bits, the rest 24 (GDI has no
// 16-bit grey or 48-bit colour bitmap).
TiffSourceFormat DescribeTiffSource(uint16_t photometric, uint16_t bitsPerSample, bool hasAlpha) {
    const bool wide = bitsPerSample == 16;
    if (hasAlpha) return {32, wide ? PixelFormat::Argb64 : PixelFormat::Argb32};
    const bool grey =
        photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    if ((grey || photometric == PHOTOMETRIC_PALETTE) && bitsPerSample <= 8) {
        return IndexedOfDepth(bitsPerSample);
    }
    if (grey && wide) return {24, PixelFormat::Gray16};
    return {24, wide ? PixelFormat::Rgb48 : PixelFormat::Rgb24};
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

void FillTiffPicture(const TiffLibrary& libtiff, TIFF* tiff, const TiffSourceFormat& format,
                     bool hasAlpha, std::shared_ptr<PixelStore> store, DecodedPicture& out) {
    const TiffDpi dpi = ReadTiffDpi(libtiff, tiff);
    out.width = store->Width();
    out.height = store->Height();
    out.bitsPerPixel = format.bitsPerPixel;
    out.pixelFormat = format.pixelFormat;
    out.hasAlpha = hasAlpha;
    out.premultipliedAlpha = hasAlpha;
    out.dpiX = dpi.x;
    out.dpiY = dpi.y;
    out.pixels = std::move(store);
}

}  // namespace pic2pnm::codecs

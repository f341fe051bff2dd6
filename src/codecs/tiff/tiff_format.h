// What a TIFF directory says about the picture, in the terms DecodedPicture reports.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>

#include "codecs/common/decoded_picture.h"
#include "codecs/tiff/tiff_library.h"

namespace pic2pnm::codecs {

struct TiffSourceFormat {
    uint16_t bitsPerPixel = 0;
    uint32_t pixelFormat = 0;
};

// From the samples as libtiff's RGBA reader sees them; hasAlpha when it found an alpha sample.
TiffSourceFormat DescribeTiffSource(uint16_t photometric, uint16_t bitsPerSample, bool hasAlpha);

struct TiffDpi {
    float x = 0;
    float y = 0;
};

// XResolution and YResolution in their ResolutionUnit (inch when the tag is absent); 0 when a
// resolution is absent, not a positive number, or the unit is "none".
TiffDpi ReadTiffDpi(const TiffLibrary& libtiff, TIFF* tiff);

// Hands over a decoded store with what the directory says of it. With alpha, the colour is
// premultiplied, as both TIFF readers leave it.
void FillTiffPicture(const TiffLibrary& libtiff, TIFF* tiff, const TiffSourceFormat& format,
                     bool hasAlpha, std::shared_ptr<PixelStore> store, DecodedPicture& out);

}  // namespace pic2pnm::codecs

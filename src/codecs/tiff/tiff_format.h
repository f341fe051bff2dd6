// What a TIFF directory says about the picture, in the terms DecodedPicture reports.
#pragma once

#include <tiffio.h>

#include <cstdint>

#include "codecs/common/codec_libraries.h"

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

}  // namespace pic2pnm::codecs

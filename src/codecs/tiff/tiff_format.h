// What a TIFF directory says about the picture, in the terms DecodedPicture reports.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>

#include "codecs/common/decoded_picture.h"
#include "codecs/tiff/tiff_library.h"

namespace pic2pnm::codecs {

// From the samples as the directory (or libtiff's RGBA reader) gives them; hasAlpha when
// there is an alpha sample, whose colour both readers hand out premultiplied.
SourceFormat DescribeTiffSource(uint16_t photometric, uint16_t bitsPerSample,
                                uint16_t samplesPerPixel, bool hasAlpha);

struct TiffDpi {
    float x = 0;
    float y = 0;
};

// XResolution and YResolution in their ResolutionUnit (inch when the tag is absent); 0 when a
// resolution is absent, not a positive number, or the unit is "none".
TiffDpi ReadTiffDpi(const TiffLibrary& libtiff, TIFF* tiff);

// Hands over a decoded store with what the directory says of it.
void FillTiffPicture(const TiffLibrary& libtiff, TIFF* tiff, const SourceFormat& source,
                     std::shared_ptr<PixelStore> store, DecodedPicture& out);

}  // namespace pic2pnm::codecs

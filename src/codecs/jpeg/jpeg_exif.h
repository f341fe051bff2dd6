// The resolution an EXIF block states (XResolution, YResolution and ResolutionUnit of its
// first directory).
#pragma once

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

struct Resolution {
    float dpiX = 0;
    float dpiY = 0;
};

// `tiff` is the block after the "Exif\0\0" prefix. Returns zeros when the block states no
// resolution in inches or centimetres, or is malformed.
Resolution ReadExifResolution(FileView tiff);

}  // namespace pic2pnm::codecs

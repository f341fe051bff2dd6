// The depth of the GDI bitmap the native loader makes of a picture, from what its decoder says
// of the file's samples: the depth a bitmap of the file's own pixels has, where GDI has one.
#pragma once

#include <cstdint>

#include "codecs/common/decoded_picture.h"
#include "codecs/common/raw_format.h"

namespace pic2pnm {

// A GIF is always 8 bits; a JPEG 8 bits when grey, else 24; a BMP, and any other picture,
// the bits of its pixels as stored, 2 bits made 4.
uint16_t NativeBitmapDepth(const codecs::RawFormatId& format, const codecs::SourceFormat& source);

// The colour bitmap of an icon image of `imageBits` bits a pixel.
uint16_t IconBitmapDepth(uint16_t imageBits);

}  // namespace pic2pnm

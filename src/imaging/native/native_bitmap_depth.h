// The depth of the GDI bitmap the native loader makes of a picture, from what its decoder says
// of the file's samples (`codec` names the registry row that decoded it): the depth a bitmap of the
// file's own pixels has, where GDI has one.
#pragma once

#include <cstdint>
#include <string_view>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm {

// A GIF is always 8 bits; a JPEG 8 bits when grey, else 24; a BMP the bits of its pixels as
// stored, 2 bits made 4; other formats as their own rules say (native_bitmap_depth.cpp).
uint16_t NativeBitmapDepth(std::string_view codec, const codecs::SourceFormat& source);

// The colour bitmap of an icon image of `imageBits` bits a pixel.
uint16_t IconBitmapDepth(uint16_t imageBits);

}  // namespace pic2pnm

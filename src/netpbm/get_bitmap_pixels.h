#pragma once

#include "imaging/native/picture_object.h"
#include "netpbm/pixel_buffer.h"
#include "shared/picture_info.h"

namespace pic2pnm {

// Copies every pixel of a bitmap picture into the buffer with one device-independent copy,
// 32 bits a pixel, bottom row first. Raises 6 when 4 * Width * Height leaves the 32-bit range,
// 7 when the buffer cannot be made, and 51 when there is no screen device context or the
// copy fails.
void GetBitmapPixels(const PictureObject& Picture, const PictureInfo& Info, PixelBuffer& Pixels);

}  // namespace pic2pnm

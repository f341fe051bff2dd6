// The native picture loader: BMP, GIF and JPEG files become bitmap pictures, icons and
// cursors icon pictures, placeable WMF and EMF files metafile pictures. Decided by content.
#pragma once

#include <string_view>

#include "imaging/native/picture_object.h"

namespace pic2pnm {

// Raises 53 for a missing file, 7 when memory runs out and 481 "Invalid picture" for
// anything it does not decode (PNG and TIFF included).
PictureObject LoadPicture(std::string_view path);

}  // namespace pic2pnm

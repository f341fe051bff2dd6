// The sizes that the assembled pictures of a HEIF file state for themselves. A grid or an
// overlay names, in its own few bytes of data, the size of the picture it assembles, and
// libheif allocates and clears that much before any tile is decoded, whatever the picture's
// stated size; so those sizes are read here first, from the file's boxes, without the library.
#pragma once

#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// The largest pixel count that any grid or overlay item of the file states for the picture it
// assembles; 0 when there is none, or when the boxes cannot be read far enough to tell (the
// library then judges the file).
uint64_t LargestDerivedImageArea(FileView file);

}  // namespace pic2pnm::codecs

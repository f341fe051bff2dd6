// The colour table of a GIF image as the 32-bit pixels we store.
#pragma once

#include <gif_lib.h>

#include <array>
#include <cstdint>

namespace pic2pnm::codecs {

// One pixel per possible index: the table's colours, opaque; indexes the table does not
// reach are opaque black; the transparent index (when not NO_TRANSPARENT_COLOR) is black with
// alpha 0.
using GifPalette = std::array<uint32_t, 256>;

GifPalette MakeGifPalette(const ColorMapObject& colours, int transparentIndex);

}  // namespace pic2pnm::codecs

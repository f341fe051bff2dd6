// What the item boxes of a HEIF file say of its assembled pictures, read without the library
// before libheif sees the file. A grid or an overlay names, in its own few bytes of data, the
// size of the picture it assembles, and libheif allocates and clears that much before any tile
// is decoded, whatever the picture's stated size; and libheif trusts that every item a
// reference names exists.
#pragma once

#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

struct HeifItemFacts {
    // The largest pixel count that any grid or overlay item states for the picture it
    // assembles; 0 when there is none, or when the boxes cannot be read far enough to tell
    // (the library then judges the file).
    uint64_t largestDerivedArea = 0;
    // Whether an item reference (a grid's tiles, an alpha plane's picture, ...) names an item
    // the file does not list, or the item it starts from: libheif's checks assume neither
    // happens, and stop the program when one does.
    bool danglingReference = false;
};

// Reads the file's item boxes once, for both.
HeifItemFacts ReadHeifItemFacts(FileView file);

}  // namespace pic2pnm::codecs

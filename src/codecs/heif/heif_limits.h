// What a HEIF or AVIF file may ask of the program before libheif reads it, in one place, and
// the reasons a file is refused for, one for each way a file can break them.
//
// libheif 1.15 looks items, properties and references up by walking its lists, once for every
// item it interprets and again for every tile it decodes, so its time grows with the square
// of their numbers; and it decodes grids and overlays as their own data describes them. The
// limits keep both within the few seconds and the memory of the picture's budget, well above
// what cameras, phones and encoders write: a 48-megapixel phone picture is a grid of 192 tiles
// of 512 x 512, with a few dozen other items. At 2048 items libheif takes about a second to
// interpret a file, several in a sanitized build.
#pragma once

#include <cstdint>

namespace pic2pnm::codecs {

struct HeifLimits {
    // Items a file may list, and properties, extents and references it may give them.
    static constexpr uint32_t Items = 2048;
    static constexpr uint32_t Properties = 4096;
    static constexpr uint32_t ExtentsPerItem = 32;  // libheif's own limit
    static constexpr uint32_t ReferenceTargets = 16384;
    // Tiles a grid may have: 32 x 32 tiles of 512 x 512 make a 268-megapixel picture.
    static constexpr uint32_t GridTiles = 1024;
    // How many derived pictures (grids, overlays, identities) may stand one upon another: an
    // identity of a grid, an overlay of grids. A grid of grids is not what writers make.
    static constexpr uint32_t DerivationDepth = 2;
    // Pixels a grid tile may have beyond the grid's whole picture: tiles are coded in whole
    // blocks, so a small picture's one tile is larger than the picture.
    static constexpr uint64_t TileAllowancePixels = 2048 * 2048;
};

// Why the structure of a file is refused before libheif reads it.
enum class HeifFault {
    None,
    Unreadable,         // the item boxes are cut short, or do not fit in what holds them
    DuplicateBox,       // a box libheif reads once comes twice; libheif reads the first
    DuplicateItem,      // an item, its location or its properties are listed twice
    TooMany,            // more items, properties, extents or references than the limits
    DanglingReference,  // a reference names an item the file does not list, or its own item
    DerivationTooDeep,  // derived pictures stand upon each other too deep, or in a cycle
    BadGrid,            // tiles missing, of different sizes, too many, too large or not
                        // covering the picture, or the grid larger than its stated size
    BadOverlay,         // inputs at negative offsets, or larger than its stated size
};

}  // namespace pic2pnm::codecs

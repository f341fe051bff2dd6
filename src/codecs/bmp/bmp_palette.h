// The colour table of an indexed DIB.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs::bmp {

// Always 256 entries, so that any 8-bit index can be looked up without a bounds check.
using Palette = std::array<uint32_t, 256>;

inline constexpr uint32_t OpaqueBlack = 0xFF000000u;

// Reads up to `entries` entries of `entrySize` bytes (blue, green, red and, for 4-byte
// entries, an unused byte) from `table`, as many as it holds whole. Every other entry is
// opaque black, as is a pixel whose index points past a short colour table.
Palette ReadPalette(FileView table, size_t entrySize, uint32_t entries);

}  // namespace pic2pnm::codecs::bmp

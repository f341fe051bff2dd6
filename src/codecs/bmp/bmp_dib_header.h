// The info header of a device-independent bitmap, as BMP files and icon images store it,
// reduced to what the pixel decoders need.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs::bmp {

enum class DibCompression { Rgb, Rle8, Rle4, BitFields };

struct ChannelMasks {
    uint32_t red = 0;
    uint32_t green = 0;
    uint32_t blue = 0;
    uint32_t alpha = 0;
};

struct DibHeader {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int64_t height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    uint16_t bitCount = 0;
    DibCompression compression = DibCompression::Rgb;
    ChannelMasks masks;  // meaningful for BitFields only
    uint32_t colorsUsed = 0;
    bool coreColorTable = false;  // OS/2 1.x: 3-byte colour table entries instead of 4
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    // Where the colour table starts, counted from the start of the info header: after the
    // header and after the bit field masks that a 40-byte header keeps behind it.
    size_t colorTableOffset = 0;
};

// Reads and validates the header at the start of `dib`. Corrupt for a header size, bit
// count, compression or mask set this decoder does not read, for zero or negative sizes, and
// when the header (and its masks) do not fit in `dib`.
CodecResult ParseDibHeader(FileView dib, DibHeader& out);

// Bytes per colour table entry.
inline size_t ColorTableEntrySize(const DibHeader& header) {
    return header.coreColorTable ? 3 : 4;
}

// The colour table entries the header declares, at most 2^bitCount for indexed pictures;
// for 16, 24 and 32 bits the optional table that only serves palette devices.
uint32_t DeclaredColorTableEntries(const DibHeader& header);

}  // namespace pic2pnm::codecs::bmp

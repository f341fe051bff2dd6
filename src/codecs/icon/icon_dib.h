// Where the parts of an icon's DIB image lie: info header, colour table, XOR pixels and the
// AND mask after them. The XOR pixels themselves are decoded by DecodeDib; this is what the
// icon decoders need around it (the mask, the raw alpha bytes, the monochrome bits).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs::icon {

// The fields of an info header that icons use, from any header size a BMP file allows
// (12-byte core headers, 16 to 64-byte OS/2 2.x headers, 40-byte and later Windows headers).
struct DibHeaderFields {
    uint32_t headerSize = 0;
    bool coreHeader = false;  // 12 bytes: 16-bit sides, 3-byte colour table entries
    int32_t width = 0;
    int32_t heightWithMask = 0;  // the XOR image and the AND mask together
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
};

// False when the image is too short for its header or the header size is not one we know.
bool ReadDibHeaderFields(FileView dib, DibHeaderFields& out);

struct IconDibLayout {
    int32_t width = 0;
    int32_t height = 0;  // of one image: half the header's height
    uint16_t bitCount = 0;
    size_t xorOffset = 0;  // first byte of the bottom row of the XOR pixels
    size_t xorStride = 0;  // bytes per XOR row, padded to 4
    size_t maskOffset = 0;
    size_t maskStride = 0;  // bytes per AND mask row, padded to 4
    // False when the image ends before its AND mask does; the image is then taken as opaque.
    bool hasMask = false;
};

// Corrupt for an unreadable header, an unsupported depth or compression, a non-positive size
// or XOR pixels that run past the image; TooLarge when the picture is beyond the limits.
CodecResult ReadIconDibLayout(FileView dib, const DecodeLimits& limits, IconDibLayout& out);

// Whether the AND mask marks the pixel transparent (never when the mask is missing).
// `rowFromBottom` counts rows as the DIB stores them.
bool IsMaskTransparent(FileView dib, const IconDibLayout& layout, int32_t x, int32_t rowFromBottom);

// The raw value of one pixel of a 1-bit XOR image (0 or 1).
bool MonochromeXorBit(FileView dib, const IconDibLayout& layout, int32_t x, int32_t rowFromBottom);

// The fourth byte of one pixel of a 32-bit XOR image.
uint8_t AlphaByte(FileView dib, const IconDibLayout& layout, int32_t x, int32_t rowFromBottom);

}  // namespace pic2pnm::codecs::icon

// The last step of decoders whose libraries or formats give 8-bit red, green, blue and alpha:
// those samples as the pixels a PixelStore holds (blue in the low byte, then green, red,
// alpha). Straight or premultiplied, the alpha stays as it comes: what it means is the
// decoded picture's description.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "codecs/common/pixel_arithmetic.h"
#include "codecs/common/pixel_store.h"

namespace pic2pnm::codecs {

// One pixel from its samples; each of red, green and blue is taken modulo 256, as formats that
// add differences to samples expect. Alpha must be at most 255.
constexpr uint32_t PackPixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return a << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}

// One pixel from the four bytes R, G, B, A read as one 32-bit word (red in the low byte on
// the little-endian machines the program runs on): red and blue change places.
static_assert(std::endian::native == std::endian::little);
constexpr uint32_t PixelFromRgbaWord(uint32_t rgba) {
    return SwapRedAndBlue(rgba);
}

// `width` pixels of interleaved RGB (3 bytes each, opaque) or RGBA (4 bytes each) from `in`
// to `out`. With RGBA, `in` may be `out` itself: each pixel is read before it is written.
void FinishRgb8Row(const uint8_t* in, bool alpha, uint32_t* out, size_t width);

// The store's rows, top row first, from rows of interleaved RGB or RGBA `stride` bytes apart.
void FinishRgb8Rows(const uint8_t* plane, size_t stride, bool alpha, PixelStore& store);

}  // namespace pic2pnm::codecs

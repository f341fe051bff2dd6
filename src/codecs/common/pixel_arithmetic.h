// Small pixel arithmetic that decoders and the GDI+ stand-in's compositing share.
#pragma once

#include <cstdint>

namespace pic2pnm::codecs {

// Exchanges bits 0-7 and 16-23: red-low (as libspng and libtiff give pixels) to our
// blue-low, and back. Alpha and green stay.
constexpr uint32_t SwapRedAndBlue(uint32_t pixel) {
    return (pixel & 0xFF00FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
}

// x / 255 rounded to the nearest integer, exact for 0 <= x <= 255 * 255, without dividing.
constexpr uint32_t DivideBy255Rounded(uint32_t x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

}  // namespace pic2pnm::codecs

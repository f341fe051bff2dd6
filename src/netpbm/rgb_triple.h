// The components of one pixel, and how a pixel is split into them.
#pragma once

#include <cstdint>

#include "support/support_library.h"

namespace pic2pnm {

struct RgbTriple {
    int32_t R = 0;
    int32_t G = 0;
    int32_t B = 0;
};

// Red from bits 16-23, green from bits 8-15, blue from bits 0-7; bits 24-31 are ignored.
inline void SplitRGB(int32_t Pixel, RgbTriple& Rgb) {
    Rgb.R = psLoByte(psHiWord(Pixel));
    Rgb.G = psHiByte(psLoWord(Pixel));
    Rgb.B = psLoByte(psLoWord(Pixel));
}

}  // namespace pic2pnm

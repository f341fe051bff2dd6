#include "codecs/jpeg/jpeg_cmyk.h"

#include <cstring>

#include "codecs/common/pixel_arithmetic.h"

namespace pic2pnm::codecs {
namespace {

// a * b / 255 rounded to nearest, exact for all bytes a and b.
uint32_t MultiplyBytes(uint32_t a, uint32_t b) {
    return DivideBy255Rounded(a * b);
}

}  // namespace

void ConvertInvertedCmykToRgb(uint32_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint8_t cmyk[4];
        std::memcpy(cmyk, &pixels[i], sizeof cmyk);
        uint32_t k = cmyk[3];
        pixels[i] = 0xFF000000u | (MultiplyBytes(cmyk[0], k) << 16) |
                    (MultiplyBytes(cmyk[1], k) << 8) | MultiplyBytes(cmyk[2], k);
    }
}

}  // namespace pic2pnm::codecs

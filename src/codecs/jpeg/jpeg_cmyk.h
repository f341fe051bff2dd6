// CMYK as JPEG files hold it, turned into our RGB pixels where it lies.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pic2pnm::codecs {

// Each of the `count` pixels holds the bytes C, M, Y, K in memory order, inverted (0 = full
// ink) as nearly every writer stores CMYK in a JPEG; each becomes an opaque pixel with
// red = C * K / 255, green = M * K / 255, blue = Y * K / 255, rounded.
void ConvertInvertedCmykToRgb(uint32_t* pixels, size_t count);

}  // namespace pic2pnm::codecs

// Reference pixels written by another decoder (netpbm or ImageMagick) beside a test picture,
// as binary PPM (P6) or PAM (P7, RGB or RGB_ALPHA, maxval 255), and comparison with what our
// decoders put in a PixelStore.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/common/pixel_store.h"

namespace pic2pnm::testing {

struct ReferenceImage {
    int32_t width = 0;
    int32_t height = 0;
    bool hasAlpha = false;
    std::vector<uint32_t> pixels;  // top-down, 0xAARRGGBB (alpha 0xFF when the file has none)
};

ReferenceImage ReadReferenceImage(const std::filesystem::path& path);

// Empty when every pixel's red, green and blue (and alpha, when compareAlpha) agree within
// `tolerance`; otherwise a description of the first few differences.
std::string ComparePixels(const PixelStore& actual, const ReferenceImage& expected,
                          int tolerance = 0, bool compareAlpha = false);

}  // namespace pic2pnm::testing

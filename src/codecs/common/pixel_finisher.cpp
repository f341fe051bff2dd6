#include "codecs/common/pixel_finisher.h"

#include <cstring>

namespace pic2pnm::codecs {
namespace {

void FinishRgbRow(const uint8_t* in, uint32_t* out, size_t width) {
    for (size_t x = 0; x < width; ++x, in += 3) out[x] = PackPixel(in[0], in[1], in[2], 0xFF);
}

// A word at a time: as cheap in place as from elsewhere.
void FinishRgbaRow(const uint8_t* in, uint32_t* out, size_t width) {
    for (size_t x = 0; x < width; ++x, in += 4) {
        uint32_t rgba;
        std::memcpy(&rgba, in, sizeof rgba);
        out[x] = PixelFromRgbaWord(rgba);
    }
}

}  // namespace

void FinishRgb8Row(const uint8_t* in, bool alpha, uint32_t* out, size_t width) {
    if (alpha)
        FinishRgbaRow(in, out, width);
    else
        FinishRgbRow(in, out, width);
}

void FinishRgb8Rows(const uint8_t* plane, size_t stride, bool alpha, PixelStore& store) {
    const size_t width = static_cast<size_t>(store.Width());
    for (int32_t y = 0; y < store.Height(); ++y)
        FinishRgb8Row(plane + static_cast<size_t>(y) * stride, alpha, store.RowFromTop(y), width);
}

}  // namespace pic2pnm::codecs

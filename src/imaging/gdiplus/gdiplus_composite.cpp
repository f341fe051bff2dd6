#include "imaging/gdiplus/gdiplus_composite.h"

#include <array>

namespace pic2pnm {
namespace {

constexpr uint32_t Opaque = 0xFF000000;
constexpr uint32_t RedBlue = 0x00FF00FF;

// Red and blue travel together, 16 bits apart: every intermediate sum per channel stays
// below 65536, so the two never carry into each other and the rounding stays exact.
template <bool ZeroBackground>
inline uint32_t BlendStraight(uint32_t pixel, uint32_t backgroundRedBlue,
                              uint32_t backgroundGreen) {
    const uint32_t alpha = pixel >> 24;
    const uint32_t inverse = 255 - alpha;
    uint32_t redBlue = (pixel & RedBlue) * alpha + 0x00800080;
    uint32_t green = ((pixel >> 8) & 0xFF) * alpha + 0x80;
    if constexpr (!ZeroBackground) {
        redBlue += backgroundRedBlue * inverse;
        green += backgroundGreen * inverse;
    }
    redBlue = ((redBlue + ((redBlue >> 8) & RedBlue)) >> 8) & RedBlue;
    green = (green + (green >> 8)) >> 8;
    return Opaque | redBlue | (green << 8);
}

template <bool ZeroBackground>
void BlendStraightRun(const uint32_t* source, uint32_t* destination, size_t count,
                      uint32_t backgroundRgb) {
    const uint32_t backgroundRedBlue = backgroundRgb & RedBlue;
    const uint32_t backgroundGreen = (backgroundRgb >> 8) & 0xFF;
    for (size_t i = 0; i < count; ++i)
        destination[i] =
            BlendStraight<ZeroBackground>(source[i], backgroundRedBlue, backgroundGreen);
}

uint32_t Channel(uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

}  // namespace

void CompositeStraightAlpha(const uint32_t* source, uint32_t* destination, size_t count,
                            uint32_t backgroundRgb) {
    if ((backgroundRgb & 0x00FFFFFF) == 0)
        BlendStraightRun<true>(source, destination, count, 0);
    else
        BlendStraightRun<false>(source, destination, count, backgroundRgb);
}

void CompositePremultipliedAlpha(const uint32_t* source, uint32_t* destination, size_t count,
                                 uint32_t backgroundRgb) {
    if ((backgroundRgb & 0x00FFFFFF) == 0) {
        for (size_t i = 0; i < count; ++i) destination[i] = source[i] | Opaque;
        return;
    }
    // What the background adds depends on alpha alone: one entry per alpha value.
    std::array<uint32_t, 256> added{};
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        uint32_t entry = 0;
        for (int shift : {0, 8, 16})
            entry |= DivideBy255Rounded(Channel(backgroundRgb, shift) * (255 - alpha)) << shift;
        added[alpha] = entry;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint32_t pixel = source[i];
        const uint32_t background = added[pixel >> 24];
        // Sums up to 510 per channel; bit 8 says the channel went past 255 and saturates. (A
        // colour above its alpha is not valid premultiplied data, but it may come.)
        uint32_t redBlue = (pixel & RedBlue) + (background & RedBlue);
        redBlue = (redBlue | ((redBlue >> 8) & 0x00010001) * 0xFF) & RedBlue;
        uint32_t green = ((pixel >> 8) & 0xFF) + ((background >> 8) & 0xFF);
        green = (green | (green >> 8) * 0xFF) & 0xFF;
        destination[i] = Opaque | redBlue | (green << 8);
    }
}

std::shared_ptr<PixelStore> PixelsOverBackground(const GdipImageRecord& image, ARGB background) {
    if (!image.hasAlpha) return image.pixels;
    const PixelStore& source = *image.pixels;
    std::shared_ptr<PixelStore> result = PixelStore::Allocate(source.Width(), source.Height());
    if (!result) return nullptr;
    // Pixels still in a decode child are copied once, into the result, and composited there.
    const uint32_t* pixels = source.IsInChild() ? result->Data() : source.Data();
    if (source.IsInChild() && !source.CopyRowsFromBottom(0, source.Height(), result->Data()))
        return nullptr;
    if (image.premultipliedAlpha)
        CompositePremultipliedAlpha(pixels, result->Data(), source.PixelCount(), background);
    else
        CompositeStraightAlpha(pixels, result->Data(), source.PixelCount(), background);
    return result;
}

}  // namespace pic2pnm

#include "codecs/gif/gif_palette.h"

#include <algorithm>

namespace pic2pnm::codecs {

GifPalette MakeGifPalette(const ColorMapObject& colours, int transparentIndex) {
    constexpr uint32_t opaque = 0xFF000000u;
    GifPalette palette;
    palette.fill(opaque);
    int count = std::clamp(colours.ColorCount, 0, static_cast<int>(palette.size()));
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = colours.Colors[i];
        palette[static_cast<size_t>(i)] =
            opaque | (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
    }
    if (transparentIndex >= 0 && transparentIndex < static_cast<int>(palette.size()))
        palette[static_cast<size_t>(transparentIndex)] = 0;
    return palette;
}

}  // namespace pic2pnm::codecs

#include "codecs/bmp/bmp_palette.h"

#include <algorithm>

namespace pic2pnm::codecs::bmp {

Palette ReadPalette(FileView table, size_t entrySize, uint32_t entries) {
    Palette palette;
    palette.fill(OpaqueBlack);
    size_t count = std::min({size_t{entries}, table.size() / entrySize, palette.size()});
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = table.data() + i * entrySize;
        palette[i] =
            OpaqueBlack | (uint32_t{entry[2]} << 16) | (uint32_t{entry[1]} << 8) | entry[0];
    }
    return palette;
}

}  // namespace pic2pnm::codecs::bmp

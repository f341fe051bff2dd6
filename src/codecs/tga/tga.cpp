// TGA pictures, read by our own decoder: colour-mapped, true-colour and grey, plain or
// run-length encoded, in any of the four orientations.
#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/tga/tga.h"
#include "codecs/tga/tga_header.h"

namespace pic2pnm::codecs {
namespace {

using tga::TgaAlpha;
using tga::TgaKind;
using tga::TgaLayout;

constexpr uint32_t OpaqueAlpha = 0xFF000000u;

// 5-bit channels to 8 bits, v * 255 / 31 rounded.
constexpr std::array<uint32_t, 32> FiveBitLevels = [] {
    std::array<uint32_t, 32> levels{};
    for (uint32_t v = 0; v < 32; ++v) levels[v] = (v * 255 + 15) / 31;
    return levels;
}();

// A true-colour pixel or colour-map entry of `bits` (stored blue first) as a store pixel,
// alpha from its attribute bits.
uint32_t ColorOf(uint32_t raw, uint8_t bits) {
    switch (bits) {
        case 15:
        case 16:
            return FiveBitLevels[raw & 31] | FiveBitLevels[raw >> 5 & 31] << 8 |
                   FiveBitLevels[raw >> 10 & 31] << 16 | (raw & 0x8000 ? OpaqueAlpha : 0);
        case 24: return raw | OpaqueAlpha;
        default: return raw;
    }
}

// Turns the stored values of pixels into store pixels.
class PixelConverter {
  public:
    explicit PixelConverter(const TgaLayout& layout) : layout_(layout) {}

    // The colour map as store pixels; false when memory runs out.
    bool ReadColorMap(FileView file) {
        if (layout_.kind != TgaKind::ColorMapped) return true;
        try {
            map_.resize(layout_.entryCount);
        } catch (const std::bad_alloc&) {
            return false;
        }
        const size_t entryBytes = tga::BytesPerPixel(layout_.entryBits);
        const uint8_t* p = file.data() + layout_.colorMapStart;
        for (uint32_t& entry : map_) {
            entry = ColorOf(ReadLe(p, entryBytes), layout_.entryBits);
            p += entryBytes;
        }
        return true;
    }

    // False for a colour-map index outside the map.
    bool Convert(uint32_t raw, uint32_t& pixel) const {
        switch (layout_.kind) {
            case TgaKind::ColorMapped: {
                const uint32_t slot = raw - layout_.firstEntry;
                if (raw < layout_.firstEntry || slot >= map_.size()) return false;
                pixel = map_[slot];
                return true;
            }
            case TgaKind::Grey:
                pixel = (raw & 0xFF) * 0x010101u | (layout_.pixelBits == 16 ? raw >> 8 << 24 : 0);
                return true;
            case TgaKind::TrueColor: pixel = ColorOf(raw, layout_.pixelBits); return true;
        }
        return false;
    }

  private:
    const TgaLayout& layout_;
    std::vector<uint32_t> map_;
};

// Pixels in the order the file stores them, which is the store's order (bottom row first,
// left to right) until the orientation is applied. The layout check has made sure the data
// is all there.
bool ReadPixels(FileView file, const TgaLayout& layout, const PixelConverter& converter,
                PixelStore& store) {
    const size_t pixelBytes = tga::BytesPerPixel(layout.pixelBits);
    const uint8_t* p = file.data() + layout.pixelStart;
    uint32_t* out = store.Data();
    const size_t count = store.PixelCount();
    if (!layout.runLength) {
        for (size_t i = 0; i < count; ++i, p += pixelBytes) {
            if (!converter.Convert(ReadLe(p, pixelBytes), out[i])) return false;
        }
        return true;
    }
    for (size_t i = 0; i < count;) {
        const uint8_t packet = *p++;
        const size_t run = (packet & 0x7Fu) + 1;
        if (packet & 0x80) {
            uint32_t pixel = 0;
            if (!converter.Convert(ReadLe(p, pixelBytes), pixel)) return false;
            p += pixelBytes;
            std::fill(out + i, out + i + run, pixel);
        } else {
            for (size_t k = 0; k < run; ++k, p += pixelBytes) {
                if (!converter.Convert(ReadLe(p, pixelBytes), out[i + k])) return false;
            }
        }
        i += run;
    }
    return true;
}

void ApplyOrientation(const TgaLayout& layout, PixelStore& store) {
    const int32_t height = store.Height();
    if (layout.topToBottom) {
        for (int32_t y = 0; y < height / 2; ++y)
            std::swap_ranges(store.RowFromBottom(y), store.RowFromBottom(y) + store.Width(),
                             store.RowFromTop(y));
    }
    if (layout.rightToLeft) {
        for (int32_t y = 0; y < height; ++y)
            std::reverse(store.RowFromBottom(y), store.RowFromBottom(y) + store.Width());
    }
}

// True-colour pixels of 15 or 16 bits hold 5-bit channels; a colour-mapped pixel is an index
// of 8 or 16 bits.
SourceFormat SourceOf(const TgaLayout& layout) {
    SourceFormat source;
    source.channels = layout.kind == TgaKind::Grey ? SourceChannels::Grey : SourceChannels::Colour;
    source.pixelBits = layout.pixelBits;
    source.sampleBits = layout.kind == TgaKind::ColorMapped ? layout.pixelBits
                        : layout.kind == TgaKind::TrueColor && layout.pixelBits <= 16 ? 5
                                                                                      : 8;
    if (layout.kind == TgaKind::ColorMapped) source.paletteEntries = layout.entryCount;
    source.alpha = layout.alpha == TgaAlpha::Straight        ? AlphaKind::Straight
                   : layout.alpha == TgaAlpha::Premultiplied ? AlphaKind::Premultiplied
                                                             : AlphaKind::None;
    return source;
}

}  // namespace

CodecResult DecodeTga(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    TgaLayout layout;
    if (const CodecResult read = tga::ReadTgaLayout(file, layout); !read.IsOk()) return read;
    if (!limits.AllowsPicture(layout.width, layout.height))
        return Refuse("tga: the picture is larger than the limits allow");
    PixelConverter converter(layout);
    if (!converter.ReadColorMap(file)) return Refuse("tga: no memory for the colour map");
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(layout.width, layout.height);
    if (!store) return Refuse("tga: no memory for the pixels");
    if (!ReadPixels(file, layout, converter, *store))
        return Refuse("tga: a pixel's index is outside the colour map");
    ApplyOrientation(layout, *store);
    if (layout.alpha == TgaAlpha::None) {
        uint32_t* pixels = store->Data();
        for (size_t i = 0; i < store->PixelCount(); ++i) pixels[i] |= OpaqueAlpha;
    }

    DecodedPicture picture;
    picture.width = layout.width;
    picture.height = layout.height;
    picture.source = SourceOf(layout);
    picture.pixels = std::move(store);
    out = std::move(picture);
    return Decoded;
}

// Only the layout check gives NotMyFormat: whatever it lets through is TGA, broken or not.
bool LooksLikeTga(FileView file) {
    TgaLayout layout;
    return tga::ReadTgaLayout(file, layout).IsOk();
}

}  // namespace pic2pnm::codecs

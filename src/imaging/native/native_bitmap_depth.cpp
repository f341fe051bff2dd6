#include "imaging/native/native_bitmap_depth.h"

namespace pic2pnm {
namespace {

using codecs::AlphaKind;
using codecs::SourceChannels;
using codecs::SourceFormat;

// GDI has bitmaps of 1, 4, 8, 16, 24 and 32 bits a pixel: the nearest not below.
uint16_t BitmapDepthAtLeast(uint32_t bits) {
    for (uint16_t depth : {1, 4, 8, 16, 24})
        if (bits <= depth) return depth;
    return 32;
}

bool HasAlpha(const SourceFormat& s) {
    return s.alpha != AlphaKind::None;
}

// Alpha makes 32 bits; palettes and grey of 8 bits or fewer keep their depth as a palette
// (grey PNG is always an 8-bit palette); the rest is 24 bits, as GDI has no 16-bit grey or
// 48-bit colour bitmap.
uint16_t OfSamples(const SourceFormat& s, bool greyAlwaysEight) {
    if (HasAlpha(s)) return 32;
    const bool grey = s.channels == SourceChannels::Grey;
    if (grey && greyAlwaysEight && s.sampleBits <= 8) return 8;
    if ((grey || s.paletteEntries != 0) && s.sampleBits <= 8)
        return BitmapDepthAtLeast(s.sampleBits);
    return 24;
}

// True colour of 15 or 16 bits keeps its 16 bits; alpha makes 32; other true colour keeps its
// depth; 16-bit palette indices have no bitmap of their own and are 24 bits.
uint16_t OfTga(const SourceFormat& s) {
    const bool trueColour = s.channels == SourceChannels::Colour && s.paletteEntries == 0;
    if (trueColour && s.pixelBits <= 16) return 16;
    if (HasAlpha(s)) return 32;
    if (trueColour) return s.pixelBits == 32 ? 32 : 24;
    if (s.paletteEntries != 0 && s.pixelBits == 16) return 24;
    return 8;
}

}  // namespace

uint16_t NativeBitmapDepth(std::string_view codec, const SourceFormat& source) {
    if (codec == "gif") return 8;
    if (codec == "jpeg") return source.channels == SourceChannels::Grey ? 8 : 24;
    if (codec == "bmp") return BitmapDepthAtLeast(source.pixelBits);
    if (codec == "tga") return OfTga(source);
    // An icon image whose transparency is its AND mask keeps its own depth; a PNG image, or a
    // 32-bit one with alpha of its own, is as PNG has it.
    if (codec == "icon" && source.alpha == AlphaKind::Mask)
        return BitmapDepthAtLeast(source.pixelBits);
    if (codec == "png" || codec == "icon") return OfSamples(source, true);
    if (codec == "tiff" || codec == "pnm") return OfSamples(source, false);
    return HasAlpha(source) ? 32 : 24;  // WebP, QOI, HEIF, AVIF, JPEG XL: 8-bit RGB(A)
}

uint16_t IconBitmapDepth(uint16_t imageBits) {
    return BitmapDepthAtLeast(imageBits);
}

}  // namespace pic2pnm

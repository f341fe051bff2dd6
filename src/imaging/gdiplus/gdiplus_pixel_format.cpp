#include "imaging/gdiplus/gdiplus_pixel_format.h"

namespace pic2pnm {
namespace {

using codecs::AlphaKind;
using codecs::SourceChannels;
using codecs::SourceFormat;

bool HasAlpha(const SourceFormat& s) {
    return s.alpha != AlphaKind::None;
}

bool Wide(const SourceFormat& s) {
    return s.sampleBits == 16;
}

// GDI+ has no 2-bit format and widens such pictures to 4 bits.
PixelFormatCode IndexedOfDepth(uint32_t bits) {
    if (bits <= 1) return PixelFormat::Indexed1;
    if (bits <= 4) return PixelFormat::Indexed4;
    return PixelFormat::Indexed8;
}

// Samples as they come: alpha makes 32-bit (64-bit for 16-bit samples) ARGB; grey and palettes
// of 8 bits or fewer keep their depth as a palette; 16-bit grey is Gray16; the rest is RGB of
// 24 or 48 bits. TIFF, Netpbm and any format without rules of its own.
PixelFormatCode OfSamples(const SourceFormat& s) {
    if (HasAlpha(s)) return Wide(s) ? PixelFormat::Argb64 : PixelFormat::Argb32;
    const bool grey = s.channels == SourceChannels::Grey;
    if ((grey || s.paletteEntries != 0) && s.sampleBits <= 8) return IndexedOfDepth(s.sampleBits);
    if (grey && Wide(s)) return PixelFormat::Gray16;
    return Wide(s) ? PixelFormat::Rgb48 : PixelFormat::Rgb24;
}

// As OfSamples, but grey below 16 bits is an 8-bit palette whatever its depth.
PixelFormatCode OfPng(const SourceFormat& s) {
    if (s.channels == SourceChannels::Grey && !HasAlpha(s) && !Wide(s))
        return PixelFormat::Indexed8;
    return OfSamples(s);
}

// Palettes keep their depth; 16-bit pixels their 5-5-5 or 5-6-5 layout, unless they carry
// alpha; 32-bit pixels are RGB with their fourth byte unused, or ARGB.
PixelFormatCode OfBmp(const SourceFormat& s) {
    if (s.pixelBits <= 8) return IndexedOfDepth(s.pixelBits);
    if (s.pixelBits == 16) {
        if (HasAlpha(s)) return PixelFormat::Argb32;
        return s.sampleBits == 6 ? PixelFormat::Rgb565 : PixelFormat::Rgb555;
    }
    if (s.pixelBits == 24) return PixelFormat::Rgb24;
    return HasAlpha(s) ? PixelFormat::Argb32 : PixelFormat::Rgb32;
}

// True colour of 15 or 16 bits keeps its layout, with its one alpha bit; other pictures with
// alpha are ARGB; 16-bit palette indices have no palette format and are RGB.
PixelFormatCode OfTga(const SourceFormat& s) {
    const bool trueColour = s.channels == SourceChannels::Colour && s.paletteEntries == 0;
    if (trueColour && s.pixelBits <= 16)
        return HasAlpha(s) ? PixelFormat::Argb1555 : PixelFormat::Rgb555;
    if (HasAlpha(s)) return PixelFormat::Argb32;
    if (trueColour) return s.pixelBits == 32 ? PixelFormat::Rgb32 : PixelFormat::Rgb24;
    if (s.paletteEntries != 0 && s.pixelBits == 16) return PixelFormat::Rgb24;
    return PixelFormat::Indexed8;
}

// A DIB image whose transparency is its AND mask reports its own depth; a PNG image, or a
// 32-bit DIB with alpha of its own, reports as PNG does.
PixelFormatCode OfIcon(const SourceFormat& s) {
    if (s.alpha != AlphaKind::Mask) return OfPng(s);
    switch (s.pixelBits) {
        case 1: return PixelFormat::Indexed1;
        case 2:
        case 4: return PixelFormat::Indexed4;
        case 8: return PixelFormat::Indexed8;
        case 16: return PixelFormat::Rgb555;
        case 24: return PixelFormat::Rgb24;
        default: return PixelFormat::Argb32;
    }
}

PixelFormatCode OfJpeg(const SourceFormat& s) {
    switch (s.channels) {
        case SourceChannels::Grey: return PixelFormat::Indexed8;
        case SourceChannels::Cmyk: return PixelFormat::Cmyk32;
        case SourceChannels::Colour: break;
    }
    return PixelFormat::Rgb24;
}

// What the decoders of the formats GDI+ has no codec for hand it.
PixelFormatCode OfEightBitRgb(const SourceFormat& s) {
    return HasAlpha(s) ? PixelFormat::Argb32 : PixelFormat::Rgb24;
}

}  // namespace

PixelFormatCode GdipPixelFormatOf(std::string_view codec, const SourceFormat& source) {
    if (codec == "png") return OfPng(source);
    if (codec == "bmp") return OfBmp(source);
    if (codec == "gif") return PixelFormat::Indexed8;
    if (codec == "jpeg") return OfJpeg(source);
    if (codec == "icon") return OfIcon(source);
    if (codec == "tga") return OfTga(source);
    if (codec == "tiff" || codec == "pnm") return OfSamples(source);
    return OfEightBitRgb(source);  // WebP, QOI, HEIF, AVIF, JPEG XL
}

bool GdipHasAlpha(std::string_view codec, const SourceFormat& source) {
    return codec == "icon" || HasAlpha(source);
}

}  // namespace pic2pnm

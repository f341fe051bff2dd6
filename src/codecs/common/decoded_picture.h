// What every decoder delivers, and how it says that it could not.
//
// Decoders work on the whole file in memory, sniff their own signature, check the declared
// size before they allocate (IsPictureSizeSupported), and write their pixels straight into a
// PixelStore. They never print, never throw and never let a C library jump across our frames.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "codecs/common/pixel_store.h"

namespace pic2pnm::codecs {

enum class CodecStatus {
    Ok,
    NotMyFormat,  // the signature is not this decoder's: another decoder may try
    Corrupt,      // this decoder's format, but broken, cut short or using what we do not read
    TooLarge,     // the declared size is more than the pixel extraction can take
    OutOfMemory,  // an allocation failed
    Unsupported,  // this decoder's format, but a library or codec it needs is not installed
    // this decoder's format, but the library it opens at run time (or a function of it) is
    // not there; the user is told the same as for a broken file
    LibraryMissing,
};

// GDI+ pixel format codes; bits 8 to 15 hold the bits per pixel.
namespace PixelFormat {
inline constexpr uint32_t Indexed1 = 0x30101;
inline constexpr uint32_t Indexed4 = 0x30402;
inline constexpr uint32_t Indexed8 = 0x30803;
inline constexpr uint32_t Gray16 = 0x101004;
inline constexpr uint32_t Rgb555 = 0x21005;
inline constexpr uint32_t Rgb565 = 0x21006;
inline constexpr uint32_t Argb1555 = 0x61007;
inline constexpr uint32_t Rgb24 = 0x21808;
inline constexpr uint32_t Rgb32 = 0x22009;
inline constexpr uint32_t Argb32 = 0x26200A;
inline constexpr uint32_t Rgb48 = 0x10300C;
inline constexpr uint32_t Argb64 = 0x34400D;
}  // namespace PixelFormat

struct DecodedPicture {
    int32_t width = 0;
    int32_t height = 0;
    // Bits per pixel of the source as a GDI bitmap reports it: 1, 4, 8, 16, 24 or 32.
    uint16_t bitsPerPixel = 0;
    // The GDI+ pixel format code of the source (PixelFormat above).
    uint32_t pixelFormat = 0;
    // True when bits 24-31 of the pixels hold a meaningful alpha (0 transparent, 255 opaque,
    // not premultiplied). When false they are to be ignored.
    bool hasAlpha = false;
    // True when the colour channels are already multiplied by alpha (as libtiff gives them).
    bool premultipliedAlpha = false;
    // Resolution in dots per inch as the file states it; 0 when it states none.
    float dpiX = 0;
    float dpiY = 0;
    std::shared_ptr<PixelStore> pixels;
};

using FileView = std::span<const uint8_t>;

}  // namespace pic2pnm::codecs

// The pixel format a GDI+ image reports, worked out from what its decoder says of the file's
// samples (codecs::SourceFormat). Each of GDI+'s own codecs reports in a way of its own (a grey
// PNG of any depth below 16 bits is an 8-bit palette, a 16-bit TGA keeps its 5-5-5 layout, a
// GIF is always 8-bit indexed); the formats GDI+ has no codec for report what a decoder of them
// gives it, 8-bit RGB with or without alpha, Netpbm and TGA excepted.
#pragma once

#include <string_view>

#include "codecs/common/decoded_picture.h"
#include "imaging/gdiplus/gdiplus.h"

namespace pic2pnm {

// GDI+ pixel format codes; bits 8 to 15 hold the bits per pixel.
namespace PixelFormat {
inline constexpr PixelFormatCode Indexed1 = 0x30101;
inline constexpr PixelFormatCode Indexed4 = 0x30402;
inline constexpr PixelFormatCode Indexed8 = 0x30803;
inline constexpr PixelFormatCode Gray16 = 0x101004;
inline constexpr PixelFormatCode Rgb555 = 0x21005;
inline constexpr PixelFormatCode Rgb565 = 0x21006;
inline constexpr PixelFormatCode Argb1555 = 0x61007;
inline constexpr PixelFormatCode Rgb24 = 0x21808;
inline constexpr PixelFormatCode Rgb32 = 0x22009;
inline constexpr PixelFormatCode Argb32 = 0x26200A;
inline constexpr PixelFormatCode Rgb48 = 0x10300C;
inline constexpr PixelFormatCode Argb64 = 0x34400D;
inline constexpr PixelFormatCode Cmyk32 = 0x200F;
}  // namespace PixelFormat

// The code of an image decoded by the codec registry's row `codec` whose samples are `source`.
PixelFormatCode GdipPixelFormatOf(std::string_view codec, const codecs::SourceFormat& source);

// Whether such an image has alpha: an icon always has, from its own alpha, its AND mask or
// none at all (then every pixel is opaque).
bool GdipHasAlpha(std::string_view codec, const codecs::SourceFormat& source);

}  // namespace pic2pnm

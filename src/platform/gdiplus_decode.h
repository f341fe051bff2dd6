// Which decoder a GDI+ image comes from: the file's content decides, never its name.
#pragma once

#include "platform/codecs/codecs.h"
#include "platform/win32_types.h"

namespace pic2pnm {

// The raw-format GUIDs an image reports. All but WebP share their last three parts.
namespace RawFormat {
inline constexpr GUID MakeImageFormat(uint32_t data1) {
    return GUID{data1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}
inline constexpr GUID Undefined = MakeImageFormat(0xB96B3CA9);
inline constexpr GUID MemoryBmp = MakeImageFormat(0xB96B3CAA);
inline constexpr GUID Bmp = MakeImageFormat(0xB96B3CAB);
inline constexpr GUID Emf = MakeImageFormat(0xB96B3CAC);
inline constexpr GUID Wmf = MakeImageFormat(0xB96B3CAD);
inline constexpr GUID Jpeg = MakeImageFormat(0xB96B3CAE);
inline constexpr GUID Png = MakeImageFormat(0xB96B3CAF);
inline constexpr GUID Gif = MakeImageFormat(0xB96B3CB0);
inline constexpr GUID Tiff = MakeImageFormat(0xB96B3CB1);
inline constexpr GUID Exif = MakeImageFormat(0xB96B3CB2);
inline constexpr GUID PhotoCd = MakeImageFormat(0xB96B3CB3);
inline constexpr GUID FlashPix = MakeImageFormat(0xB96B3CB4);
inline constexpr GUID Icon = MakeImageFormat(0xB96B3CB5);
// WebP has no entry in that family; this one is ours, chosen at random once.
inline constexpr GUID Webp{
    0x4583D9BD, 0x0C09, 0x4302, {0x8F, 0xDD, 0x3E, 0xFB, 0x7D, 0xA2, 0x7E, 0x1A}};
}  // namespace RawFormat

// Tries the decoders in turn until one recognises the file. NotMyFormat when none does;
// otherwise the recogniser's status, and on Ok the picture and its raw format. A decoder may
// rearrange the file's bytes while it works; they are as they were again on return.
codecs::CodecStatus DecodeByContent(std::span<uint8_t> file, codecs::DecodedPicture& out,
                                    GUID& rawFormat);

}  // namespace pic2pnm

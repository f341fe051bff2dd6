// Which decoder a GDI+ image comes from: the file's content decides, never its name.
#pragma once

#include <functional>

#include "codecs/common/decoded_picture.h"
#include "codecs/common/raw_format.h"
#include "imaging/gdi/win32_types.h"

namespace pic2pnm {

// The raw-format GUIDs an image reports, from the codec layer's identifiers.
constexpr GUID ToGuid(const codecs::RawFormatId& id) {
    return GUID{id.data1,
                id.data2,
                id.data3,
                {id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5],
                 id.data4[6], id.data4[7]}};
}
namespace RawFormat {
inline constexpr GUID Undefined = ToGuid(codecs::RawFormatIds::Undefined);
inline constexpr GUID MemoryBmp = ToGuid(codecs::RawFormatIds::MemoryBmp);
inline constexpr GUID Bmp = ToGuid(codecs::RawFormatIds::Bmp);
inline constexpr GUID Emf = ToGuid(codecs::RawFormatIds::Emf);
inline constexpr GUID Wmf = ToGuid(codecs::RawFormatIds::Wmf);
inline constexpr GUID Jpeg = ToGuid(codecs::RawFormatIds::Jpeg);
inline constexpr GUID Png = ToGuid(codecs::RawFormatIds::Png);
inline constexpr GUID Gif = ToGuid(codecs::RawFormatIds::Gif);
inline constexpr GUID Tiff = ToGuid(codecs::RawFormatIds::Tiff);
inline constexpr GUID Exif = ToGuid(codecs::RawFormatIds::Exif);
inline constexpr GUID PhotoCd = ToGuid(codecs::RawFormatIds::PhotoCd);
inline constexpr GUID FlashPix = ToGuid(codecs::RawFormatIds::FlashPix);
inline constexpr GUID Icon = ToGuid(codecs::RawFormatIds::Icon);
inline constexpr GUID Webp = ToGuid(codecs::RawFormatIds::Webp);
inline constexpr GUID Pnm = ToGuid(codecs::RawFormatIds::Pnm);
inline constexpr GUID Qoi = ToGuid(codecs::RawFormatIds::Qoi);
inline constexpr GUID Tga = ToGuid(codecs::RawFormatIds::Tga);
inline constexpr GUID Heif = ToGuid(codecs::RawFormatIds::Heif);
inline constexpr GUID Avif = ToGuid(codecs::RawFormatIds::Avif);
inline constexpr GUID Jxl = ToGuid(codecs::RawFormatIds::Jxl);
}  // namespace RawFormat

// Tries the codec registry's rows in turn, in a confined child (codecs/common/codec_child.h),
// until one recognises the file. NotMyFormat when none does; otherwise the recogniser's status,
// and on Ok the picture and its raw format; Corrupt when the child failed. A decoder may
// rearrange the file's bytes while it works; they are as they were again on return.
// `releaseFile`, when given, frees the file's bytes once a confined child has them (the bytes
// are then gone on return).
codecs::CodecStatus DecodeByContent(std::span<uint8_t> file, codecs::DecodedPicture& out,
                                    GUID& rawFormat, const std::function<void()>& releaseFile = {});

}  // namespace pic2pnm

// Which decoder a GDI+ image comes from: the file's content decides, never its name.
#pragma once

#include "platform/codecs/codecs.h"
#include "platform/win32_types.h"

namespace pic2pnm {

// The raw-format GUIDs an image reports. All but WebP, HEIF, AVIF and JPEG XL share their last
// three parts.
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
// Netpbm, QOI and TGA likewise; like WebP they are named "Unknown" in the picture information.
inline constexpr GUID Pnm{
    0x47C01F76, 0xEF03, 0x48F9, {0xA5, 0x3F, 0x67, 0xFC, 0x42, 0xD5, 0x01, 0x18}};
inline constexpr GUID Qoi{
    0x59B5AAF6, 0x8656, 0x4F2A, {0xAB, 0x22, 0xD2, 0x05, 0x39, 0xD0, 0xC5, 0xE7}};
inline constexpr GUID Tga{
    0x27F0F335, 0x3FE0, 0x4C54, {0xBA, 0x25, 0x3D, 0x01, 0x83, 0xFD, 0x22, 0x34}};
// Likewise ours, for the formats read through libheif and libjxl.
inline constexpr GUID Heif{
    0x2B82B3C9, 0x344A, 0x4092, {0xAF, 0x1B, 0x47, 0x21, 0x68, 0x83, 0x4F, 0xE3}};
inline constexpr GUID Avif{
    0xC23B6206, 0xBFFC, 0x4974, {0x93, 0x44, 0xEA, 0x05, 0x96, 0x82, 0x1B, 0x6F}};
inline constexpr GUID Jxl{
    0xB54AAB35, 0xD855, 0x494B, {0xB3, 0x9C, 0xF6, 0x2A, 0x75, 0xF9, 0x83, 0xD0}};
}  // namespace RawFormat

// Tries the decoders in turn until one recognises the file. NotMyFormat when none does;
// otherwise the recogniser's status, and on Ok the picture and its raw format.
codecs::CodecStatus DecodeByContent(codecs::FileView file, codecs::DecodedPicture& out,
                                    GUID& rawFormat);

}  // namespace pic2pnm

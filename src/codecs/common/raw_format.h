// The raw-format identifiers a decoded picture reports, in the codec layer's own terms: the
// GDI+ stand-in turns them into its GUIDs (RawFormat in gdiplus_decode.h).
#pragma once

#include <array>
#include <cstdint>

namespace pic2pnm::codecs {

struct RawFormatId {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    friend constexpr bool operator==(const RawFormatId&, const RawFormatId&) = default;
};

// The image formats GDI+ knows share the last three parts of their identifier.
constexpr RawFormatId ImageFormatId(uint32_t data1) {
    return RawFormatId{data1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

namespace RawFormatIds {
inline constexpr RawFormatId Undefined = ImageFormatId(0xB96B3CA9);
inline constexpr RawFormatId MemoryBmp = ImageFormatId(0xB96B3CAA);
inline constexpr RawFormatId Bmp = ImageFormatId(0xB96B3CAB);
inline constexpr RawFormatId Emf = ImageFormatId(0xB96B3CAC);
inline constexpr RawFormatId Wmf = ImageFormatId(0xB96B3CAD);
inline constexpr RawFormatId Jpeg = ImageFormatId(0xB96B3CAE);
inline constexpr RawFormatId Png = ImageFormatId(0xB96B3CAF);
inline constexpr RawFormatId Gif = ImageFormatId(0xB96B3CB0);
inline constexpr RawFormatId Tiff = ImageFormatId(0xB96B3CB1);
inline constexpr RawFormatId Exif = ImageFormatId(0xB96B3CB2);
inline constexpr RawFormatId PhotoCd = ImageFormatId(0xB96B3CB3);
inline constexpr RawFormatId FlashPix = ImageFormatId(0xB96B3CB4);
inline constexpr RawFormatId Icon = ImageFormatId(0xB96B3CB5);
// WebP has no identifier in that family; this one is ours, chosen at random once.
inline constexpr RawFormatId Webp{
    0x4583D9BD, 0x0C09, 0x4302, {0x8F, 0xDD, 0x3E, 0xFB, 0x7D, 0xA2, 0x7E, 0x1A}};
// Netpbm, QOI, TGA, HEIF, AVIF and JPEG XL likewise; like WebP they are named "Unknown" in the
// picture information.
inline constexpr RawFormatId Pnm{
    0x47C01F76, 0xEF03, 0x48F9, {0xA5, 0x3F, 0x67, 0xFC, 0x42, 0xD5, 0x01, 0x18}};
inline constexpr RawFormatId Qoi{
    0x59B5AAF6, 0x8656, 0x4F2A, {0xAB, 0x22, 0xD2, 0x05, 0x39, 0xD0, 0xC5, 0xE7}};
inline constexpr RawFormatId Tga{
    0x27F0F335, 0x3FE0, 0x4C54, {0xBA, 0x25, 0x3D, 0x01, 0x83, 0xFD, 0x22, 0x34}};
inline constexpr RawFormatId Heif{
    0x2B82B3C9, 0x344A, 0x4092, {0xAF, 0x1B, 0x47, 0x21, 0x68, 0x83, 0x4F, 0xE3}};
inline constexpr RawFormatId Avif{
    0xC23B6206, 0xBFFC, 0x4974, {0x93, 0x44, 0xEA, 0x05, 0x96, 0x82, 0x1B, 0x6F}};
inline constexpr RawFormatId Jxl{
    0xB54AAB35, 0xD855, 0x494B, {0xB3, 0x9C, 0xF6, 0x2A, 0x75, 0xF9, 0x83, 0xD0}};
}  // namespace RawFormatIds

}  // namespace pic2pnm::codecs

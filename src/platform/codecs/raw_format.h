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
}  // namespace RawFormatIds

}  // namespace pic2pnm::codecs

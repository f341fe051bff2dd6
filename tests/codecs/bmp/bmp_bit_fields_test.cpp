// 16- and 32-bit pictures: the implied BI_RGB layouts and bit-field masks of any width,
// placed after a 40-byte header or inside a V2 and later one.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/bmp_test_builder.h"
#include "helpers/codec_checks.h"

namespace pic2pnm::codecs {
namespace {

using testing::bmp::AllPixels;
using testing::bmp::BuildBmp;
using testing::bmp::Bytes;
using testing::bmp::DibLayoutCase;
using testing::bmp::PaddedRows;

constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiBitFields = 3;
constexpr uint32_t BiAlphaBitFields = 6;

// One row of little-endian values of `bytesEach` bytes.
Bytes PackRow(const std::vector<uint32_t>& values, int bytesEach) {
    Bytes row;
    for (uint32_t value : values)
        for (int i = 0; i < bytesEach; ++i) row.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return row;
}

struct MaskCase {
    const char* name;
    uint32_t headerSize;
    uint32_t compression;
    uint16_t bitCount;
    std::vector<uint32_t> masks;  // red, green, blue[, alpha]
    std::vector<uint32_t> values;
    std::vector<uint32_t> expected;  // 0xAARRGGBB
    PixelFormatCode pixelFormat;
    bool hasAlpha;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<MaskCase>& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

class BmpBitFieldsTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(BmpBitFieldsTest, ScalesEveryChannelToEightBitsRounded) {
    const MaskCase& c = GetParam();
    DibLayoutCase layout;
    layout.headerSize = c.headerSize;
    layout.compression = c.compression;
    layout.bitCount = c.bitCount;
    layout.masks = c.masks;
    layout.width = static_cast<int32_t>(c.values.size());
    layout.height = 1;
    layout.pixels = PaddedRows({PackRow(c.values, c.bitCount / 8)});
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(testing::NativeDepthOf("bmp", picture), c.bitCount);
    EXPECT_EQ(testing::GdipFormatOf("bmp", picture), c.pixelFormat);
    EXPECT_EQ(picture.HasAlpha(), c.hasAlpha);
    EXPECT_EQ(AllPixels(picture), c.expected);
}

INSTANTIATE_TEST_SUITE_P(SixteenBits, BmpBitFieldsTest,
                         ::testing::Values(
                             // 5-5-5 with the top bit unused; 1 of 31 is 8.2, 16 of 31 is 131.6.
                             MaskCase{"BI_RGB is 5-5-5",
                                      40,
                                      BiRgb,
                                      16,
                                      {},
                                      {0x7FFF, 0x7C00, 0x0001, 0x0200, 0x8000},
                                      {0xFFFFFFFF, 0xFFFF0000, 0xFF000008, 0xFF008400, 0xFF000000},
                                      PixelFormat::Rgb555,
                                      false},
                             // A V5 header's masks do not apply to BI_RGB.
                             MaskCase{"BI_RGB ignores header masks",
                                      124,
                                      BiRgb,
                                      16,
                                      {0xF800, 0x07E0, 0x001F, 0},
                                      {0x7C00, 0x03E0},
                                      {0xFFFF0000, 0xFF00FF00},
                                      PixelFormat::Rgb555,
                                      false},
                             // 1 of 63 is 4.05, 32 of 63 is 129.5.
                             MaskCase{"5-6-5 after a 40-byte header",
                                      40,
                                      BiBitFields,
                                      16,
                                      {0xF800, 0x07E0, 0x001F},
                                      {0xF800, 0x07E0, 0x0020, 0x0400, 0x001F},
                                      {0xFFFF0000, 0xFF00FF00, 0xFF000400, 0xFF008200, 0xFF0000FF},
                                      PixelFormat::Rgb565,
                                      false},
                             // Red and blue where 5-6-5 has them, but a 5-bit green.
                             MaskCase{"5-5-5 with a gap",
                                      40,
                                      BiBitFields,
                                      16,
                                      {0xF800, 0x03E0, 0x001F},
                                      {0xF800, 0x03E0, 0x0400},
                                      {0xFFFF0000, 0xFF00FF00, 0xFF000000},
                                      PixelFormat::Rgb555,
                                      false},
                             MaskCase{"6-5-5 in a V2 header",
                                      52,
                                      BiBitFields,
                                      16,
                                      {0xFC00, 0x03E0, 0x001F},
                                      {0xFC00, 0x0400, 0x03E0, 0x0010},
                                      {0xFFFF0000, 0xFF040000, 0xFF00FF00, 0xFF000084},
                                      PixelFormat::Rgb555,
                                      false},
                             MaskCase{"1-5-5-5 in a V3 header",
                                      56,
                                      BiBitFields,
                                      16,
                                      {0x7C00, 0x03E0, 0x001F, 0x8000},
                                      {0xFFFF, 0x7FFF, 0x801F},
                                      {0xFFFFFFFF, 0x00FFFFFF, 0xFF0000FF},
                                      PixelFormat::Argb32,
                                      true},
                             MaskCase{"4-4-4-4 alpha bit fields after a 40-byte header",
                                      40,
                                      BiAlphaBitFields,
                                      16,
                                      {0x0F00, 0x00F0, 0x000F, 0xF000},
                                      {0x1234, 0xF0A5},
                                      {0x11223344, 0xFF00AA55},
                                      PixelFormat::Argb32,
                                      true},
                             // Channels out of the usual order.
                             MaskCase{"blue high, red low",
                                      108,
                                      BiBitFields,
                                      16,
                                      {0x001F, 0x07E0, 0xF800, 0},
                                      {0x001F, 0xF800},
                                      {0xFFFF0000, 0xFF0000FF},
                                      PixelFormat::Rgb555,
                                      false}),
                         CaseName);

INSTANTIATE_TEST_SUITE_P(
    ThirtyTwoBits, BmpBitFieldsTest,
    ::testing::Values(
        // The fourth byte of a BI_RGB pixel is not alpha, whatever the header holds.
        MaskCase{"BI_RGB is opaque",
                 40,
                 BiRgb,
                 32,
                 {},
                 {0x12345678, 0x00ABCDEF},
                 {0xFF345678, 0xFFABCDEF},
                 PixelFormat::Rgb32,
                 false},
        MaskCase{"BI_RGB ignores a V5 alpha mask",
                 124,
                 BiRgb,
                 32,
                 {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
                 {0x12345678},
                 {0xFF345678},
                 PixelFormat::Rgb32,
                 false},
        MaskCase{"8-8-8 after a 40-byte header",
                 40,
                 BiBitFields,
                 32,
                 {0x00FF0000, 0x0000FF00, 0x000000FF},
                 {0x12345678},
                 {0xFF345678},
                 PixelFormat::Rgb32,
                 false},
        MaskCase{"8-8-8-8 in a V5 header",
                 124,
                 BiBitFields,
                 32,
                 {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
                 {0x80112233, 0x00FFFFFF},
                 {0x80112233, 0x00FFFFFF},
                 PixelFormat::Argb32,
                 true},
        MaskCase{"8-8-8-8 alpha bit fields after a 40-byte header",
                 40,
                 BiAlphaBitFields,
                 32,
                 {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
                 {0x7F010203},
                 {0x7F010203},
                 PixelFormat::Argb32,
                 true},
        MaskCase{"8-8-8 in RGBA byte order",
                 56,
                 BiBitFields,
                 32,
                 {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
                 {0x40302010},
                 {0x40102030},
                 PixelFormat::Argb32,
                 true},
        // 512 of 1023 is 127.6; 1 of 3 is 85.
        MaskCase{"10-10-10-2 in a V4 header",
                 108,
                 BiBitFields,
                 32,
                 {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
                 {0xFFF00200, 0x400FFC00, 0x80000001},
                 {0xFFFF0080, 0x5500FF00, 0xAA000000},
                 PixelFormat::Argb32,
                 true},
        // Red 21 bits wide: 2^20 of 2^21-1 is 127.99997.
        MaskCase{"21-6-5",
                 52,
                 BiBitFields,
                 32,
                 {0xFFFFF800, 0x000007E0, 0x0000001F},
                 {0xFFFFF800, 0x80000000, 0x0000001F},
                 {0xFFFF0000, 0xFF800000, 0xFF0000FF},
                 PixelFormat::Rgb32,
                 false},
        MaskCase{"one channel without a mask",
                 52,
                 BiBitFields,
                 32,
                 {0x00FF0000, 0, 0x000000FF},
                 {0x00ABCDEF},
                 {0xFFAB00EF},
                 PixelFormat::Rgb32,
                 false}),
    CaseName);

struct RefusedMasks {
    const char* name;
    uint32_t headerSize;
    uint32_t compression;
    std::vector<uint32_t> masks;
    bool cutAfterHeader;
};

TEST(BmpBitFields, MasksWeCannotUseAreCorrupt) {
    const RefusedMasks cases[] = {
        {"red with a hole", 52, BiBitFields, {0x0F0F0000, 0x0000FF00, 0x000000FF}, false},
        {"alpha with a hole",
         56,
         BiBitFields,
         {0x00FF0000, 0x0000FF00, 0x000000FF, 0x90000000},
         false},
        {"no colour masks", 56, BiBitFields, {0, 0, 0, 0xFF000000}, false},
        {"masks after the header cut off",
         40,
         BiBitFields,
         {0x00FF0000, 0x0000FF00, 0x000000FF},
         true},
        {"alpha mask after the header cut off",
         40,
         BiAlphaBitFields,
         {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
         true},
    };
    for (const RefusedMasks& c : cases) {
        DibLayoutCase layout;
        layout.headerSize = c.headerSize;
        layout.compression = c.compression;
        layout.bitCount = 32;
        layout.masks = c.masks;
        layout.pixels = PackRow({0x11223344}, 4);
        Bytes file = BuildBmp(layout);
        if (c.cutAfterHeader) {
            file.resize(14 + 40 + 4 * c.masks.size() - 1);
            testing::bmp::SetPixelOffset(file, 14 + 40);
        }
        DecodedPicture picture;
        EXPECT_EQ(DecodeBmp(file, DefaultDecodeLimits, picture), CodecStatus::Corrupt) << c.name;
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

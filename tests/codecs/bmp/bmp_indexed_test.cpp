// Indexed pictures: every index width, and colour tables that are short, oversized or
// indexed past their end.
#include <gtest/gtest.h>

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/bmp_test_builder.h"
#include "helpers/codec_checks.h"

namespace pic2pnm::codecs {
namespace {

using testing::bmp::AllPixels;
using testing::bmp::BuildBmp;
using testing::bmp::BuildDib;
using testing::bmp::Bytes;
using testing::bmp::DibLayoutCase;
using testing::bmp::PaddedRows;

constexpr uint32_t BlackPixel = 0xFF000000;

// Sixteen distinct colours; entry i is 0x10 * i in red and 0xFF - i in blue.
std::vector<uint32_t> Colours(size_t count) {
    std::vector<uint32_t> colours;
    for (uint32_t i = 0; i < count; ++i)
        colours.push_back(((i * 0x10) << 16) | (0x40 + i) << 8 | (0xFF - i));
    return colours;
}

uint32_t Opaque(uint32_t rgb) {
    return 0xFF000000 | rgb;
}

struct DepthCase {
    const char* name;
    uint16_t bitCount;
    int32_t width;
    std::vector<Bytes> rowsBottomFirst;
    std::vector<uint32_t> indicesTopFirst;
    uint16_t reportedBits;
    PixelFormatCode pixelFormat;
};

TEST(BmpIndexed, EveryIndexWidthUnpacksLeftmostPixelFromTheHighBits) {
    const DepthCase cases[] = {
        // 10 pixels: one full byte and two pixels of the next.
        {"1 bit",
         1,
         10,
         {{0b10110001, 0b01000000}, {0b01001110, 0b10000000}},
         {0, 1, 0, 0, 1, 1, 1, 0, 1, 0, /**/ 1, 0, 1, 1, 0, 0, 0, 1, 0, 1},
         1,
         PixelFormat::Indexed1},
        // 5 pixels: one full byte and a pixel of the next; shown as a 4-bit picture.
        {"2 bits",
         2,
         5,
         {{0b00011011, 0b11000000}, {0b11100100, 0b01000000}},
         {3, 2, 1, 0, 1, /**/ 0, 1, 2, 3, 3},
         4,
         PixelFormat::Indexed4},
        {"4 bits",
         4,
         3,
         {{0x0F, 0x70}, {0xA5, 0x30}},
         {10, 5, 3, /**/ 0, 15, 7},
         4,
         PixelFormat::Indexed4},
        {"8 bits",
         8,
         3,
         {{0, 15, 7}, {200, 9, 255}},
         {200, 9, 255, /**/ 0, 15, 7},
         8,
         PixelFormat::Indexed8},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        DibLayoutCase layout;
        layout.width = c.width;
        layout.height = 2;
        layout.bitCount = c.bitCount;
        std::vector<uint32_t> palette = Colours(c.bitCount == 8 ? 256 : 1u << c.bitCount);
        // Entries 16 and up repeat with other values, so that 8-bit indices are distinct.
        for (size_t i = 16; i < palette.size(); ++i)
            palette[i] = static_cast<uint32_t>(i * 0x010101);
        layout.palette = palette;
        layout.pixels = PaddedRows(c.rowsBottomFirst);
        DecodedPicture picture;
        ASSERT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok);
        EXPECT_EQ(testing::NativeDepthOf("bmp", picture), c.reportedBits);
        EXPECT_EQ(testing::GdipFormatOf("bmp", picture), c.pixelFormat);
        EXPECT_FALSE(picture.HasAlpha());
        std::vector<uint32_t> expected;
        for (uint32_t index : c.indicesTopFirst) expected.push_back(Opaque(palette[index]));
        EXPECT_EQ(AllPixels(picture), expected);
    }
}

struct PaletteCase {
    const char* name;
    uint32_t headerSize;
    uint16_t bitCount;
    uint32_t colorsUsed;
    size_t entriesWritten;  // before the pixels
    Bytes indices;          // one row of 8-bit or 4-bit indices
    std::vector<uint32_t> expected;
};

TEST(BmpIndexed, MissingAndOutOfRangeEntriesAreBlack) {
    const std::vector<uint32_t> c = Colours(16);
    const PaletteCase cases[] = {
        {"8 bits, 2 colours declared",
         40,
         8,
         2,
         2,
         {0, 1, 2, 255},
         {Opaque(c[0]), Opaque(c[1]), BlackPixel, BlackPixel}},
        // The table declares 16 entries but the pixels start after 3 of them.
        {"8 bits, table cut by the pixel offset",
         40,
         8,
         16,
         3,
         {2, 3, 15, 1},
         {Opaque(c[2]), BlackPixel, BlackPixel, Opaque(c[1])}},
        {"4 bits, 3 colours declared",
         40,
         4,
         3,
         3,
         {0x12, 0xF0},
         {Opaque(c[1]), Opaque(c[2]), BlackPixel, Opaque(c[0])}},
        {"OS/2 1.x table cut short",
         12,
         8,
         0,
         4,
         {3, 4, 0, 200},
         {Opaque(c[3]), BlackPixel, Opaque(c[0]), BlackPixel}},
        // Oversized counts are clamped to what the index width and the file allow.
        {"8 bits, 1000 colours declared",
         40,
         8,
         1000,
         16,
         {15, 16, 255, 0},
         {Opaque(c[15]), BlackPixel, BlackPixel, Opaque(c[0])}},
        {"4 bits, 2^32-1 colours declared",
         40,
         4,
         0xFFFFFFFF,
         16,
         {0xF1, 0x00},
         {Opaque(c[15]), Opaque(c[1]), Opaque(c[0]), Opaque(c[0])}},
    };
    for (const PaletteCase& p : cases) {
        SCOPED_TRACE(p.name);
        DibLayoutCase layout;
        layout.headerSize = p.headerSize;
        layout.width = static_cast<int32_t>(p.expected.size());
        layout.height = 1;
        layout.bitCount = p.bitCount;
        layout.colorsUsed = p.colorsUsed;
        layout.palette.assign(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(p.entriesWritten));
        layout.pixels = PaddedRows({p.indices});
        DecodedPicture picture;
        ASSERT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok);
        EXPECT_EQ(AllPixels(picture), p.expected);
    }
}

TEST(BmpIndexed, TheFourthByteOfAnEntryIsNotAlpha) {
    DibLayoutCase layout;
    layout.width = 2;
    layout.bitCount = 1;
    layout.palette = {0x123456, 0xABCDEF};
    layout.pixels = PaddedRows({{0b01000000}});
    Bytes file = BuildBmp(layout);
    file[14 + 40 + 3] = 0x80;  // reserved byte of entry 0
    file[14 + 40 + 7] = 0x00;
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_FALSE(picture.HasAlpha());
    EXPECT_EQ(AllPixels(picture), (std::vector<uint32_t>{0xFF123456, 0xFFABCDEF}));
}

// Without a file header the pixels follow the table, so its size decides where they are.
TEST(BmpIndexed, DibPixelsFollowTheClampedColourTable) {
    const std::vector<uint32_t> c = Colours(16);
    struct DibCase {
        const char* name;
        uint32_t headerSize;
        uint16_t bitCount;
        uint32_t colorsUsed;
        size_t entriesWritten;
    } const cases[] = {
        {"declared count", 40, 4, 5, 5},
        {"all entries when 0 is declared", 40, 4, 0, 16},
        {"oversized count clamped to 16", 40, 4, 300, 16},
        {"OS/2 1.x: always all entries", 12, 4, 0, 16},
    };
    for (const DibCase& d : cases) {
        SCOPED_TRACE(d.name);
        DibLayoutCase layout;
        layout.headerSize = d.headerSize;
        layout.width = 4;
        layout.height = 1;
        layout.bitCount = d.bitCount;
        layout.colorsUsed = d.colorsUsed;
        layout.palette.assign(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(d.entriesWritten));
        layout.pixels = PaddedRows({{0x01, 0x23}});
        DecodedPicture picture;
        ASSERT_EQ(DecodeDib(BuildDib(layout), false, DefaultDecodeLimits, picture),
                  CodecStatus::Ok);
        EXPECT_EQ(AllPixels(picture),
                  (std::vector<uint32_t>{Opaque(c[0]), Opaque(c[1]), Opaque(c[2]), Opaque(c[3])}));
    }
}

TEST(BmpIndexed, DibWhoseColourTableRunsPastTheEndIsCorrupt) {
    DibLayoutCase layout;
    layout.width = 1;
    layout.bitCount = 8;
    layout.colorsUsed = 200;
    layout.palette = Colours(16);
    DecodedPicture picture;
    EXPECT_EQ(DecodeDib(BuildDib(layout), false, DefaultDecodeLimits, picture),
              CodecStatus::Corrupt);
}

}  // namespace
}  // namespace pic2pnm::codecs

// Headerless DIBs as icons and cursors store them: the colour image above an AND mask, of
// which only the colour image is ours to decode.
#include <gtest/gtest.h>

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/bmp_test_builder.h"
#include "helpers/codec_checks.h"

namespace pic2pnm::codecs {
namespace {

using testing::bmp::AllPixels;
using testing::bmp::BuildDib;
using testing::bmp::Bytes;
using testing::bmp::DibLayoutCase;
using testing::bmp::PaddedRows;

constexpr uint32_t BiRle4 = 2;

// A 2x2 32-bit icon image: height 4 counts the AND mask, two rows of 4 bytes.
DibLayoutCase Icon32() {
    DibLayoutCase layout;
    layout.width = 2;
    layout.height = 4;
    layout.bitCount = 32;
    layout.pixels = {
        0x10, 0x20, 0x30, 0x00, 0x11, 0x21, 0x31, 0x80,  // bottom row: blue, green, red, alpha
        0x12, 0x22, 0x32, 0xFF, 0x13, 0x23, 0x33, 0x7F,  // top row
        0x80, 0,    0,    0,    0x40, 0,    0,    0,     // AND mask
    };
    return layout;
}

// A 3x2 4-bit icon image with a full 16-entry table.
DibLayoutCase Icon4() {
    DibLayoutCase layout;
    layout.width = 3;
    layout.height = 4;
    layout.bitCount = 4;
    for (uint32_t i = 0; i < 16; ++i) layout.palette.push_back(i * 0x0F0F0F);
    layout.pixels = PaddedRows({{0x12, 0x30}, {0xF0, 0xE0}});
    Bytes mask = PaddedRows({{0xE0}, {0x00}});
    layout.pixels.insert(layout.pixels.end(), mask.begin(), mask.end());
    return layout;
}

TEST(BmpDib, IconImageKeepsTheAlphaByteOf32BitPixels) {
    DecodedPicture picture;
    ASSERT_EQ(DecodeDib(BuildDib(Icon32()), true, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(picture.width, 2);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(testing::NativeDepthOf("bmp", picture), 32);
    EXPECT_EQ(testing::GdipFormatOf("bmp", picture), PixelFormat::Argb32);
    EXPECT_TRUE(picture.HasAlpha());
    EXPECT_EQ(AllPixels(picture),
              (std::vector<uint32_t>{0xFF322212, 0x7F332313, 0x00302010, 0x80312111}));
}

TEST(BmpDib, The32BitImageOutsideAnIconIsOpaque) {
    DibLayoutCase layout = Icon32();
    layout.height = 2;
    DecodedPicture picture;
    ASSERT_EQ(DecodeDib(BuildDib(layout), false, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_FALSE(picture.HasAlpha());
    EXPECT_EQ(testing::GdipFormatOf("bmp", picture), PixelFormat::Rgb32);
    EXPECT_EQ(AllPixels(picture),
              (std::vector<uint32_t>{0xFF322212, 0xFF332313, 0xFF302010, 0xFF312111}));
}

TEST(BmpDib, IconImageDecodesOnlyTheColourRows) {
    DecodedPicture picture;
    ASSERT_EQ(DecodeDib(BuildDib(Icon4()), true, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(testing::NativeDepthOf("bmp", picture), 4);
    EXPECT_EQ(testing::GdipFormatOf("bmp", picture), PixelFormat::Indexed4);
    EXPECT_FALSE(picture.HasAlpha());
    EXPECT_EQ(AllPixels(picture), (std::vector<uint32_t>{0xFFE1E1E1, 0xFF000000, 0xFFD2D2D2,
                                                         0xFF0F0F0F, 0xFF1E1E1E, 0xFF2D2D2D}));
}

// The AND mask is not ours: an image whose mask is missing still decodes.
TEST(BmpDib, IconImageNeedsNoMaskBytes) {
    DibLayoutCase layout = Icon32();
    layout.pixels.resize(16);
    DecodedPicture picture;
    EXPECT_EQ(DecodeDib(BuildDib(layout), true, DefaultDecodeLimits, picture), CodecStatus::Ok);
}

TEST(BmpDib, IconImagesWeCannotReadAreCorrupt) {
    struct Case {
        const char* name;
        Bytes dib;
    };
    DibLayoutCase rle = Icon4();
    rle.compression = BiRle4;
    rle.pixels = {6, 0x12, 0, 1};
    DibLayoutCase oneRow = Icon32();
    oneRow.height = 1;
    DibLayoutCase topDown = Icon32();
    topDown.height = -4;
    DibLayoutCase cut = Icon32();
    cut.pixels.resize(15);
    Bytes empty;
    Bytes sizeOnly = {40, 0, 0};
    const Case cases[] = {
        {"run-length icon image", BuildDib(rle)},
        {"height 1: no colour rows", BuildDib(oneRow)},
        {"top-down icon image", BuildDib(topDown)},
        {"colour rows cut short", BuildDib(cut)},
        {"empty", empty},
        {"header size cut", sizeOnly},
    };
    for (const Case& c : cases) {
        DecodedPicture picture;
        EXPECT_EQ(DecodeDib(c.dib, true, DefaultDecodeLimits, picture), CodecStatus::Corrupt)
            << c.name;
        EXPECT_EQ(picture.pixels, nullptr) << c.name;
    }
}

// Outside icons a DIB may use every form a BMP file does, with masks and colour table in
// front of the pixels.
TEST(BmpDib, PlainDibsReadMasksAndTablesInFrontOfThePixels) {
    DibLayoutCase bitFields;
    bitFields.width = 2;
    bitFields.bitCount = 16;
    bitFields.compression = 3;
    bitFields.masks = {0xF800, 0x07E0, 0x001F};
    bitFields.pixels = {0x00, 0xF8, 0x1F, 0x00};

    DibLayoutCase core;
    core.headerSize = 12;
    core.width = 2;
    core.bitCount = 1;
    core.palette = {0x010203, 0xA0B0C0};
    core.pixels = PaddedRows({{0b10000000}});

    DibLayoutCase rle;
    rle.width = 3;
    rle.bitCount = 8;
    rle.compression = 1;
    rle.colorsUsed = 2;
    rle.palette = {0x445566, 0x778899};
    rle.pixels = {2, 1, 1, 0, 0, 1};

    struct Case {
        const char* name;
        DibLayoutCase layout;
        std::vector<uint32_t> expected;
    } const cases[] = {
        {"5-6-5 masks after the header", bitFields, {0xFFFF0000, 0xFF0000FF}},
        {"OS/2 1.x header", core, {0xFFA0B0C0, 0xFF010203}},
        {"RLE8 after a 2-entry table", rle, {0xFF778899, 0xFF778899, 0xFF445566}},
    };
    for (const Case& c : cases) {
        DecodedPicture picture;
        ASSERT_EQ(DecodeDib(BuildDib(c.layout), false, DefaultDecodeLimits, picture),
                  CodecStatus::Ok)
            << c.name;
        EXPECT_EQ(AllPixels(picture), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

// Info header forms, row order, resolution, pixel offsets, and the headers we refuse.
#include <gtest/gtest.h>

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
using testing::bmp::PutLe32;
using testing::bmp::SetPixelOffset;

// A 2x3 24-bit picture, rows stored bottom row first.
DibLayoutCase TwoByThree(uint32_t headerSize) {
    DibLayoutCase layout;
    layout.headerSize = headerSize;
    layout.width = 2;
    layout.height = 3;
    layout.bitCount = 24;
    layout.pixels = PaddedRows({
        {0x01, 0x02, 0x03, 0x04, 0x05, 0x06},  // bottom
        {0x11, 0x12, 0x13, 0x14, 0x15, 0x16},
        {0x21, 0x22, 0x23, 0xFE, 0xFD, 0xFC},  // top
    });
    return layout;
}

const std::vector<uint32_t> TwoByThreeTopFirst = {
    0xFF232221, 0xFFFCFDFE,  //
    0xFF131211, 0xFF161514,  //
    0xFF030201, 0xFF060504,
};

struct HeaderCase {
    const char* name;
    uint32_t headerSize;
};

TEST(BmpHeader, EveryHeaderFormReadsTheSamePixels) {
    const HeaderCase cases[] = {
        {"OS/2 1.x", 12},
        {"OS/2 2.x shortest", 16},
        {"OS/2 2.x partial", 24},
        {"OS/2 2.x full", 64},
        {"INFO", 40},
        {"V2", 52},
        {"V3", 56},
        {"V4", 108},
        {"V5", 124},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = BuildBmp(TwoByThree(c.headerSize));
        DecodedPicture picture;
        ASSERT_EQ(DecodeBmp(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
        EXPECT_EQ(picture.width, 2);
        EXPECT_EQ(picture.height, 3);
        EXPECT_EQ(testing::NativeDepthOf("bmp", picture), 24);
        EXPECT_EQ(testing::GdipFormatOf("bmp", picture), PixelFormat::Rgb24);
        EXPECT_FALSE(picture.HasAlpha());
        EXPECT_EQ(AllPixels(picture), TwoByThreeTopFirst);
    }
}

TEST(BmpHeader, NegativeHeightStoresTheTopRowFirst) {
    DibLayoutCase layout = TwoByThree(40);
    layout.height = -3;
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(picture.height, 3);
    const std::vector<uint32_t> flipped = {
        0xFF030201, 0xFF060504,  //
        0xFF131211, 0xFF161514,  //
        0xFF232221, 0xFFFCFDFE,
    };
    EXPECT_EQ(AllPixels(picture), flipped);
}

TEST(BmpHeader, IndexedTopDownRowsAreFlippedToo) {
    DibLayoutCase layout;
    layout.width = 3;
    layout.height = -2;
    layout.bitCount = 8;
    layout.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    layout.pixels = PaddedRows({{1, 2, 3}, {3, 0, 1}});
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok);
    const std::vector<uint32_t> expected = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                            0xFF0000FF, 0xFF000000, 0xFFFF0000};
    EXPECT_EQ(AllPixels(picture), expected);
}

struct ResolutionCase {
    int32_t pelsPerMeter;
    float dotsPerInch;
};

TEST(BmpHeader, ResolutionIsConvertedFromPixelsPerMeter) {
    const ResolutionCase cases[] = {
        {2835, 2835 * 0.0254f}, {3780, 3780 * 0.0254f}, {1, 0.0254f}, {0, 0.0f}, {-3780, 0.0f},
    };
    for (const ResolutionCase& c : cases) {
        DibLayoutCase layout = TwoByThree(40);
        layout.xPelsPerMeter = c.pelsPerMeter;
        layout.yPelsPerMeter = c.pelsPerMeter == 0 ? 3780 : 0;
        DecodedPicture picture;
        ASSERT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok);
        EXPECT_FLOAT_EQ(picture.dpiX, c.dotsPerInch) << c.pelsPerMeter;
        EXPECT_FLOAT_EQ(picture.dpiY, c.pelsPerMeter == 0 ? 3780 * 0.0254f : 0.0f);
    }
}

TEST(BmpHeader, OS2CoreHeaderHasNoResolution) {
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(BuildBmp(TwoByThree(12)), DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(picture.dpiX, 0.0f);
    EXPECT_EQ(picture.dpiY, 0.0f);
}

TEST(BmpHeader, PixelsStartWhereTheFileHeaderSays) {
    DibLayoutCase layout = TwoByThree(40);
    Bytes file = BuildBmp(layout);
    // Move the pixels 10 bytes further and fill the gap with bytes that would show.
    file.insert(file.begin() + 54, 10, 0x77);
    SetPixelOffset(file, 64);
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(AllPixels(picture), TwoByThreeTopFirst);
}

struct RefusedCase {
    const char* name;
    Bytes file;
};

Bytes WithHeaderField(DibLayoutCase layout, size_t offset, uint32_t value) {
    Bytes file = BuildBmp(layout);
    PutLe32(file, 14 + offset, value);
    return file;
}

DibLayoutCase WithCompression(uint32_t headerSize, uint16_t bitCount, uint32_t compression) {
    DibLayoutCase layout = TwoByThree(headerSize);
    layout.bitCount = bitCount;
    layout.compression = compression;
    if (bitCount <= 8) layout.palette.assign(1u << bitCount, 0x808080);
    return layout;
}

// Codes 3 and 6 in an OS/2 2.x header, with masks where a Windows header would have them.
DibLayoutCase Os2WithMaskCode(uint32_t compression) {
    DibLayoutCase layout = WithCompression(64, 32, compression);
    layout.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    return layout;
}

DibLayoutCase WithSize(int32_t width, int32_t height) {
    DibLayoutCase layout = TwoByThree(40);
    layout.width = width;
    layout.height = height;
    return layout;
}

Bytes WithPixelOffset(uint32_t offset) {
    Bytes file = BuildBmp(TwoByThree(40));
    SetPixelOffset(file, offset);
    return file;
}

TEST(BmpHeader, UnreadableHeadersAreCorrupt) {
    Bytes full = BuildBmp(TwoByThree(40));
    const RefusedCase cases[] = {
        {"file header only", Bytes(full.begin(), full.begin() + 14)},
        {"header size cut", Bytes(full.begin(), full.begin() + 17)},
        {"header cut after its size", Bytes(full.begin(), full.begin() + 30)},
        {"header size 0", WithHeaderField(TwoByThree(40), 0, 0)},
        {"header size 11", WithHeaderField(TwoByThree(40), 0, 11)},
        {"header size 13", WithHeaderField(TwoByThree(40), 0, 13)},
        {"header size 65", WithHeaderField(TwoByThree(124), 0, 65)},
        {"header size 100", WithHeaderField(TwoByThree(124), 0, 100)},
        {"header size 125", WithHeaderField(TwoByThree(124), 0, 125)},
        {"header size past the file", WithHeaderField(TwoByThree(40), 0, 4000)},
        {"width 0", BuildBmp(WithSize(0, 3))},
        {"negative width", BuildBmp(WithSize(-2, 3))},
        {"height 0", BuildBmp(WithSize(2, 0))},
        {"core width 0", BuildBmp([] {
             DibLayoutCase s = TwoByThree(12);
             s.width = 0;
             return s;
         }())},
        {"0 bits", BuildBmp(WithCompression(40, 0, 0))},
        {"3 bits", BuildBmp(WithCompression(40, 3, 0))},
        {"48 bits", BuildBmp(WithCompression(40, 48, 0))},
        {"embedded JPEG", BuildBmp(WithCompression(40, 24, 4))},
        {"embedded PNG", BuildBmp(WithCompression(40, 24, 5))},
        {"compression 7", BuildBmp(WithCompression(40, 24, 7))},
        {"CMYK compression 11", BuildBmp(WithCompression(124, 32, 11))},
        {"OS/2 Huffman", BuildBmp(Os2WithMaskCode(3))},
        {"OS/2 RLE24", BuildBmp(WithCompression(64, 24, 4))},
        {"OS/2 alpha bit fields code", BuildBmp(Os2WithMaskCode(6))},
        {"RLE8 at 4 bits", BuildBmp(WithCompression(40, 4, 1))},
        {"RLE4 at 8 bits", BuildBmp(WithCompression(40, 8, 2))},
        {"RLE8 at 24 bits", BuildBmp(WithCompression(40, 24, 1))},
        {"bit fields at 24 bits", BuildBmp(WithCompression(52, 24, 3))},
        {"bit fields at 8 bits", BuildBmp(WithCompression(52, 8, 3))},
        {"top-down RLE8",
         [] {
             DibLayoutCase s = WithCompression(40, 8, 1);
             s.height = -3;
             return BuildBmp(s);
         }()},
        {"pixel offset inside the info header", WithPixelOffset(20)},
        {"pixel offset before the info header", WithPixelOffset(0)},
        {"pixel offset past the end", WithPixelOffset(static_cast<uint32_t>(full.size() + 1))},
        {"pixel offset at the end", WithPixelOffset(static_cast<uint32_t>(full.size()))},
        {"pixel offset 4 GiB", WithPixelOffset(0xFFFFFFFF)},
    };
    for (const RefusedCase& c : cases) {
        DecodedPicture picture;
        EXPECT_EQ(DecodeBmp(c.file, DefaultDecodeLimits, picture), CodecStatus::Corrupt) << c.name;
        EXPECT_EQ(picture.pixels, nullptr) << c.name;
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

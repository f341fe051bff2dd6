// Declared sizes against what the input holds: pixel data cut short at any point, and
// sizes too large to hold, which must be refused before anything is allocated.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/bmp_test_builder.h"
#include "helpers/codec_checks.h"

namespace pic2pnm::codecs {
namespace {

using testing::bmp::BuildBmp;
using testing::bmp::BuildDib;
using testing::bmp::Bytes;
using testing::bmp::DibLayoutCase;

// 5x4 pixels, every byte of the padded rows set.
DibLayoutCase FiveByFour(uint16_t bitCount) {
    DibLayoutCase layout;
    layout.width = 5;
    layout.height = 4;
    layout.bitCount = bitCount;
    if (bitCount <= 8) layout.palette.assign(1u << bitCount, 0x336699);
    size_t stride = (5 * size_t{bitCount} + 31) / 32 * 4;
    layout.pixels.assign(stride * 4, 0x5A);
    return layout;
}

size_t Stride(uint16_t bitCount) {
    return (5 * size_t{bitCount} + 31) / 32 * 4;
}
size_t LastRowBytes(uint16_t bitCount) {
    return (5 * size_t{bitCount} + 7) / 8;
}

TEST(BmpLimits, PixelDataCutShortIsCorrupt) {
    for (uint16_t bitCount : {1, 2, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE("bits " + std::to_string(bitCount));
        DibLayoutCase layout = FiveByFour(bitCount);
        Bytes full = BuildBmp(layout);
        size_t pixelStart = full.size() - layout.pixels.size();
        size_t needed = 3 * Stride(bitCount) + LastRowBytes(bitCount);
        for (size_t kept : {size_t{0}, size_t{1}, Stride(bitCount) - 1, Stride(bitCount),
                            2 * Stride(bitCount) + 1, needed - 1}) {
            Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(pixelStart + kept));
            DecodedPicture picture;
            EXPECT_EQ(DecodeBmp(cut, DefaultDecodeLimits, picture), CodecStatus::Corrupt)
                << kept << " bytes kept";
            EXPECT_EQ(
                DecodeDib(Bytes(cut.begin() + 14, cut.end()), false, DefaultDecodeLimits, picture),
                CodecStatus::Corrupt)
                << kept << " bytes kept, without the file header";
            EXPECT_EQ(picture.pixels, nullptr);
        }
    }
}

// Some writers leave out the last row's padding; nothing is missing then.
TEST(BmpLimits, LastRowWithoutItsPaddingIsEnough) {
    for (uint16_t bitCount : {1, 8, 24}) {
        DibLayoutCase layout = FiveByFour(bitCount);
        layout.pixels.resize(3 * Stride(bitCount) + LastRowBytes(bitCount));
        ASSERT_NE(layout.pixels.size() % 4, 0u);
        DecodedPicture picture;
        EXPECT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok)
            << bitCount;
        EXPECT_EQ(DecodeDib(BuildDib(layout), false, DefaultDecodeLimits, picture), CodecStatus::Ok)
            << bitCount;
    }
}

struct SizeCase {
    const char* name;
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    uint16_t bitCount;
    uint32_t compression;
    CodecStatus expected;
};

TEST(BmpLimits, DeclaredSizesAreCheckedBeforeTheData) {
    const SizeCase cases[] = {
        {"100000 x 100000", 40, 100000, 100000, 24, 0, CodecStatus::TooLarge},
        {"widest int", 40, INT32_MAX, 1, 1, 0, CodecStatus::TooLarge},
        {"highest int", 40, 1, INT32_MAX, 1, 0, CodecStatus::TooLarge},
        {"most negative height", 40, 1, INT32_MIN, 24, 0, CodecStatus::TooLarge},
        // 4 bytes a pixel must stay below 2^31.
        {"2^29 pixels", 40, 1 << 15, 1 << 14, 32, 0, CodecStatus::TooLarge},
        {"OS/2 1.x 65535 x 65535", 12, 65535, 65535, 8, 0, CodecStatus::TooLarge},
        {"RLE8 50000 x 50000", 40, 50000, 50000, 8, 1, CodecStatus::TooLarge},
        {"bit fields 70000 x 70000", 52, 70000, 70000, 32, 3, CodecStatus::TooLarge},
        // Small enough to hold, but the data is not there.
        {"1000 x 1000", 40, 1000, 1000, 24, 0, CodecStatus::Corrupt},
        {"2^29 pixels less one row", 40, 1 << 15, (1 << 14) - 1, 32, 0, CodecStatus::Corrupt},
        {"top-down 1 x 300", 40, 1, -300, 8, 0, CodecStatus::Corrupt},
    };
    for (const SizeCase& c : cases) {
        DibLayoutCase layout;
        layout.headerSize = c.headerSize;
        layout.width = c.width;
        layout.height = c.height;
        layout.bitCount = c.bitCount;
        layout.compression = c.compression;
        if (c.compression == 3) layout.masks = {0xFF0000, 0xFF00, 0xFF};
        layout.pixels.assign(16, 0x11);
        DecodedPicture picture;
        EXPECT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), c.expected) << c.name;
        EXPECT_EQ(DecodeDib(BuildDib(layout), false, DefaultDecodeLimits, picture), c.expected)
            << c.name;
        EXPECT_EQ(picture.pixels, nullptr) << c.name;
    }
}

// An optional colour table in front of 24-bit pixels, declared larger than the input.
TEST(BmpLimits, HugeTableBeforeDirectColourPixelsIsCorrupt) {
    DibLayoutCase layout = FiveByFour(24);
    layout.colorsUsed = 0xFFFFFFFF;
    DecodedPicture picture;
    EXPECT_EQ(DecodeDib(BuildDib(layout), false, DefaultDecodeLimits, picture),
              CodecStatus::Corrupt);
    // In a file the pixel offset says where the pixels are; the table is not needed.
    EXPECT_EQ(DecodeBmp(BuildBmp(layout), DefaultDecodeLimits, picture), CodecStatus::Ok);
}

}  // namespace
}  // namespace pic2pnm::codecs

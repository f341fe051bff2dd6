// Run-length encoded pictures: runs, absolute runs, line ends, deltas and the end marker,
// clipping at the picture's edges, and data that stops early.
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

constexpr uint32_t BiRle8 = 1;
constexpr uint32_t BiRle4 = 2;
constexpr int Unset = -1;  // a pixel the data never sets: opaque black

const std::vector<uint32_t> PaletteColours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                              0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};

struct RleCase {
    const char* name;
    uint32_t compression;
    int32_t width;
    int32_t height;
    Bytes data;
    std::vector<int> indicesTopFirst;  // Unset for black
};

void PrintTo(const RleCase& c, std::ostream* os) {
    *os << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<RleCase>& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
}

DibLayoutCase RleSpec(uint32_t compression, int32_t width, int32_t height, const Bytes& data) {
    DibLayoutCase layout;
    layout.width = width;
    layout.height = height;
    layout.compression = compression;
    layout.bitCount = compression == BiRle8 ? 8 : 4;
    layout.palette = PaletteColours;
    layout.pixels = data;
    return layout;
}

class BmpRleTest : public ::testing::TestWithParam<RleCase> {};

TEST_P(BmpRleTest, DecodesToTheExpectedIndices) {
    const RleCase& c = GetParam();
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(BuildBmp(RleSpec(c.compression, c.width, c.height, c.data)),
                        DefaultDecodeLimits, picture),
              CodecStatus::Ok);
    EXPECT_EQ(testing::NativeDepthOf("bmp", picture), c.compression == BiRle8 ? 8 : 4);
    EXPECT_EQ(testing::GdipFormatOf("bmp", picture),
              c.compression == BiRle8 ? PixelFormat::Indexed8 : PixelFormat::Indexed4);
    EXPECT_FALSE(picture.HasAlpha());
    std::vector<uint32_t> expected;
    for (int index : c.indicesTopFirst)
        expected.push_back(0xFF000000 |
                           (index == Unset ? 0 : PaletteColours[static_cast<size_t>(index)]));
    EXPECT_EQ(AllPixels(picture), expected);
}

constexpr int X = Unset;

INSTANTIATE_TEST_SUITE_P(
    Rle8, BmpRleTest,
    ::testing::Values(
        RleCase{"runs and line ends",
                BiRle8,
                4,
                2,
                {2, 1, 2, 3, 0, 0, /**/ 4, 5, 0, 1},
                {5, 5, 5, 5, /**/ 1, 1, 3, 3}},
        // Three indices padded to four bytes, then four unpadded.
        RleCase{"absolute runs and their padding",
                BiRle8,
                7,
                1,
                {0, 3, 1, 2, 3, 0, /**/ 0, 4, 4, 5, 6, 7, /**/ 0, 1},
                {1, 2, 3, 4, 5, 6, 7}},
        RleCase{"delta skips pixels and rows",
                BiRle8,
                4,
                3,
                {1, 1, 0, 2, 2, 1, 1, 2, 0, 1},
                {X, X, X, X, /**/ X, X, X, 2, /**/ 1, X, X, X}},
        RleCase{"line end leaves the rest of the row unset",
                BiRle8,
                3,
                2,
                {1, 4, 0, 0, 3, 6, 0, 1},
                {6, 6, 6, /**/ 4, X, X}},
        // Runs past the row end are dropped, not wrapped onto the next row.
        RleCase{"runs clipped at the row end",
                BiRle8,
                3,
                2,
                {5, 2, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 1},
                {1, 2, 3, /**/ 2, 2, 2}},
        RleCase{"delta past the right edge",
                BiRle8,
                3,
                2,
                {0, 2, 200, 0, 4, 1, 0, 0, 1, 3, 0, 1},
                {3, X, X, /**/ X, X, X}},
        RleCase{"delta past the top stops",
                BiRle8,
                2,
                2,
                {2, 7, 0, 2, 0, 5, 2, 1, 0, 1},
                {X, X, /**/ 7, 7}},
        RleCase{"line ends past the top are harmless",
                BiRle8,
                1,
                1,
                {1, 4, 0, 0, 0, 0, 0, 0, 1, 5, 0, 1},
                {4}},
        RleCase{"indices past the table are black",
                BiRle8,
                3,
                1,
                {1, 8, 1, 255, 1, 2, 0, 1},
                {X, X, 2}},
        RleCase{"data after the end marker is ignored", BiRle8, 2, 1, {2, 3, 0, 1, 2, 4}, {3, 3}},
        // Accepted: the rows the data does not reach stay black.
        RleCase{"no end marker", BiRle8, 2, 2, {2, 5, 0, 0}, {X, X, /**/ 5, 5}},
        RleCase{"no data at all", BiRle8, 2, 1, {}, {X, X}},
        RleCase{"absolute run at the very end without its padding",
                BiRle8,
                3,
                1,
                {0, 3, 1, 2, 3},
                {1, 2, 3}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Rle4, BmpRleTest,
    ::testing::Values(
        // A run alternates the two indices of its byte.
        RleCase{"runs alternate two indices",
                BiRle4,
                5,
                2,
                {5, 0x12, 0, 0, 4, 0x77, 0, 1},
                {7, 7, 7, 7, X, /**/ 1, 2, 1, 2, 1}},
        // Five indices take three bytes, padded to four; three take two, unpadded.
        RleCase{"absolute runs and their padding",
                BiRle4,
                8,
                1,
                {0, 5, 0x12, 0x34, 0x50, 0, /**/ 0, 3, 0x67, 0x70, /**/ 0, 1},
                {1, 2, 3, 4, 5, 6, 7, 7}},
        RleCase{"delta and line end",
                BiRle4,
                4,
                3,
                {0, 2, 1, 1, 2, 0x34, 0, 0, 4, 0x56, 0, 1},
                {5, 6, 5, 6, /**/ X, 3, 4, X, /**/ X, X, X, X}},
        RleCase{"runs clipped at the row end", BiRle4, 3, 1, {9, 0x45, 0, 1}, {4, 5, 4}},
        RleCase{
            "absolute run clipped at the row end", BiRle4, 2, 1, {0, 4, 0x12, 0x34, 0, 1}, {1, 2}}),
    CaseName);

TEST(BmpRle, DataThatStopsInsideACommandIsCorrupt) {
    struct Case {
        const char* name;
        uint32_t compression;
        Bytes data;
    } const cases[] = {
        {"count without its value", BiRle8, {2, 1, 0, 0, 3}},
        {"delta without its offsets", BiRle8, {2, 1, 0, 2}},
        {"delta with one offset", BiRle8, {2, 1, 0, 2, 1}},
        {"absolute run cut", BiRle8, {0, 4, 1, 2, 3}},
        {"4-bit absolute run cut", BiRle4, {0, 5, 0x12, 0x34}},
    };
    for (const Case& c : cases) {
        DecodedPicture picture;
        EXPECT_EQ(
            DecodeBmp(BuildBmp(RleSpec(c.compression, 4, 2, c.data)), DefaultDecodeLimits, picture),
            CodecStatus::Corrupt)
            << c.name;
    }
}

// Long streams of zero-length and maximal commands stay within the picture and end.
TEST(BmpRle, HostileStreamsStayInBounds) {
    Bytes data;
    for (int i = 0; i < 2000; ++i) data.insert(data.end(), {255, 3});  // far past the row end
    data.insert(data.end(), {0, 0});
    for (int i = 0; i < 2000; ++i) data.insert(data.end(), {0, 2, 255, 0});  // to the right
    for (int i = 0; i < 200; ++i) {
        data.insert(data.end(), {0, 255});  // absolute runs far outside the picture
        data.insert(data.end(), 256, 1);    // 255 indices and the pad byte
    }
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(BuildBmp(RleSpec(BiRle8, 3, 2, data)), DefaultDecodeLimits, picture),
              CodecStatus::Ok);
    const std::vector<uint32_t> expected = {0xFF000000, 0xFF000000, 0xFF000000,
                                            0xFF0000FF, 0xFF0000FF, 0xFF0000FF};
    EXPECT_EQ(AllPixels(picture), expected);
}

}  // namespace
}  // namespace pic2pnm::codecs

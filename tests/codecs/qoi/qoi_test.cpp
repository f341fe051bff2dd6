#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/qoi/qoi.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::AppendBe32;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

const Bytes EndMarker = {0, 0, 0, 0, 0, 0, 0, 1};

// A QOI file: header, the chunks given, then the end marker.
Bytes Qoi(uint32_t width, uint32_t height, uint8_t channels, const Bytes& chunks,
          uint8_t colorSpace = 0) {
    Bytes file = {'q', 'o', 'i', 'f'};
    AppendBe32(file, width);
    AppendBe32(file, height);
    file.push_back(channels);
    file.push_back(colorSpace);
    file.insert(file.end(), chunks.begin(), chunks.end());
    file.insert(file.end(), EndMarker.begin(), EndMarker.end());
    return file;
}

std::vector<uint32_t> TopDown(const PixelStore& store) {
    std::vector<uint32_t> pixels;
    for (int32_t y = store.Height(); y-- > 0;) {
        const uint32_t* row = store.Data() + static_cast<size_t>(y) * store.Width();
        pixels.insert(pixels.end(), row, row + store.Width());
    }
    return pixels;
}

TEST(QoiSignature, MagicBytes) {
    testing::ExpectSignatureResults(LooksLikeQoi, {
                                                      {"qoif", {'q', 'o', 'i', 'f'}, true},
                                                      {"QOIF", {'Q', 'O', 'I', 'F'}, false},
                                                      {"qoi", {'q', 'o', 'i'}, false},
                                                      {"empty", {}, false},
                                                  });
    testing::ExpectOtherFormatsLeftAlone(DecodeQoi,
                                         {"png/rgb8.png", "pnm/raw.ppm", "tga/rgb24.tga"});
}

TEST(QoiPixels, AgainstNetpbm) {
    struct Case {
        const char* file;
        bool hasAlpha;
    };
    for (const Case& c :
         {Case{"rgb.qoi", false}, Case{"rgba.qoi", true}, Case{"example.qoi", false}}) {
        SCOPED_TRACE(c.file);
        const std::string name = std::string("qoi/") + c.file;
        testing::ExpectMatchesReference(
            DecodeQoi, ReadFileBytes(TestData(name)),
            ReadReferenceImage(TestData(name + (c.hasAlpha ? ".ref.pam" : ".ref.ppm"))),
            {.source = testing::EightBitRgb(c.hasAlpha),
             .compareAlpha = c.hasAlpha,
             .looksLike = LooksLikeQoi});
    }
}

TEST(QoiPixels, EachChunkKind) {
    struct Case {
        const char* name;
        Bytes file;
        std::vector<uint32_t> pixels;  // top-down, 0xAARRGGBB
    };
    const Case cases[] = {
        {"a run first repeats opaque black", Qoi(2, 1, 4, {0xC1}), {0xFF000000, 0xFF000000}},
        {"an index first recalls transparent black", Qoi(1, 1, 4, {0x00}), {0x00000000}},
        {"differences wrap around",
         Qoi(2, 1, 3, {0xFE, 0, 0, 0, 0x40 | 0 << 4 | 2 << 2 | 3}),
         {0xFF000000, 0xFFFE0001}},
        {"luma: green difference, red and blue relative to it",
         Qoi(2, 1, 3, {0xFE, 100, 100, 100, 0x80 | 37, (3 + 8) << 4 | (8 - 2)}),
         {0xFF646464, 0xFF6C6967}},
        // (10 * 3 + 20 * 5 + 30 * 7 + 255 * 11) % 64 = 9
        {"index recalls an earlier colour",
         Qoi(3, 1, 3, {0xFE, 10, 20, 30, 0xFE, 1, 1, 1, 0x09}),
         {0xFF0A141E, 0xFF010101, 0xFF0A141E}},
        {"RGBA keeps its alpha for the following RGB",
         Qoi(2, 1, 4, {0xFF, 1, 2, 3, 4, 0xFE, 5, 6, 7}),
         {0x04010203, 0x04050607}},
        {"runs cross rows",
         Qoi(2, 2, 3, {0xFE, 9, 9, 9, 0xC2}),
         {0xFF090909, 0xFF090909, 0xFF090909, 0xFF090909}},
        {"colour-space byte 1 (all channels linear) ignored",
         Qoi(1, 1, 3, {0xFE, 1, 2, 3}, 1),
         {0xFF010203}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedPicture picture;
        ASSERT_EQ(DecodeQoi(c.file, DefaultDecodeLimits, picture), CodecStatus::Ok);
        EXPECT_EQ(TopDown(*picture.pixels), c.pixels);
    }
}

TEST(QoiBroken, StreamsThatDoNotFillThePictureExactlyAreCorrupt) {
    Bytes wrongMarker = Qoi(1, 1, 3, {0xFE, 1, 2, 3});
    wrongMarker.back() = 2;
    Bytes noMarker = Qoi(1, 1, 3, {0xFE, 1, 2, 3});
    noMarker.resize(noMarker.size() - 8);
    // Long enough for four pixels and the marker, but three chunks and no marker.
    Bytes threeOfFour = Qoi(4, 1, 3, {0xFE, 1, 2, 3, 0xFE, 4, 5, 6, 0xFE, 7, 8, 9});
    threeOfFour.resize(threeOfFour.size() - 8);
    Bytes chunkCutShort = threeOfFour;
    chunkCutShort.resize(chunkCutShort.size() - 2);
    testing::ExpectEachRefused(
        DecodeQoi,
        {
            {"run past the last pixel", Qoi(1, 1, 3, {0xC1}),
             "qoi: chunks run past the last pixel"},
            {"run past the last pixel of a longer picture", Qoi(3, 2, 3, {0xFE, 1, 1, 1, 0xC5}),
             "qoi: chunks run past the last pixel"},
            {"end marker ends in 2", wrongMarker,
             "qoi: the end marker does not follow the last pixel"},
            {"no end marker", noMarker, "qoi: too few bytes for the picture's pixels"},
            {"chunks end before the last pixel", threeOfFour,
             "qoi: the chunks end before the last pixel"},
            {"the marker read as the chunks of the last pixels", Qoi(3, 1, 3, {0xFE, 1, 2, 3}),
             "qoi: the end marker does not follow the last pixel"},
            {"RGB chunk cut short", chunkCutShort, "qoi: a chunk is cut short"},
            {"RGBA chunk cut short",
             Bytes{'q', 'o', 'i', 'f', 0, 0, 0, 1, 0, 0, 0, 1, 4, 0, 0xFF, 1},
             "qoi: too few bytes for the picture's pixels"},
            {"header cut short", Bytes{'q', 'o', 'i', 'f', 0, 0, 0, 1, 0, 0, 0, 1, 4},
             "qoi: the header is cut short"},
            {"five channels", Qoi(1, 1, 5, {0xFE, 1, 2, 3}),
             "qoi: the channels are neither 3 nor 4"},
            {"colour space 2", Qoi(1, 1, 3, {0xFE, 1, 2, 3}, 2),
             "qoi: the colour space is neither 0 nor 1"},
            {"colour space 255", Qoi(1, 1, 3, {0xFE, 1, 2, 3}, 255),
             "qoi: the colour space is neither 0 nor 1"},
            {"width 0", Qoi(0, 1, 3, {}), "qoi: a side of the picture is 0"},
            {"more pixels than the chunks can stand for", Qoi(1000, 1000, 3, {0xFD, 0xFD}),
             "qoi: too few bytes for the picture's pixels"},
        },
        CodecStatus::Corrupt);
    testing::ExpectEachRefused(DecodeQoi,
                               {{"100000 x 100000", Qoi(100000, 100000, 3, {}),
                                 "qoi: the picture is larger than the limits allow"}},
                               CodecStatus::TooLarge);
}

}  // namespace
}  // namespace pic2pnm::codecs

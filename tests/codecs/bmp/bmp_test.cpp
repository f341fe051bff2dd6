// BMP files written by ImageMagick and netpbm, compared with what the other program reads
// from them, and the signature check that routes files to this decoder.
#include <gtest/gtest.h>

#include <string>

#include "codecs/bmp/bmp.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using testing::ComparePixels;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

struct FixtureCase {
    const char* name;       // bmp/<name>.bmp
    const char* reference;  // bmp/<reference>
    uint16_t bitsPerPixel;
    PixelFormatCode pixelFormat;
    bool hasAlpha;
};

std::string CaseName(const ::testing::TestParamInfo<FixtureCase>& info) {
    return info.param.name;
}

class BmpFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(BmpFixtureTest, MatchesTheOtherProgramsPixels) {
    const FixtureCase& c = GetParam();
    testing::ReferenceImage reference =
        ReadReferenceImage(TestData(std::string("bmp/") + c.reference));
    // Every fixture is 23 x 13; the decoded picture must be the reference's size.
    EXPECT_EQ(reference.width, 23);
    EXPECT_EQ(reference.height, 13);
    testing::ExpectMatchesReference(
        DecodeBmp, ReadFileBytes(TestData(std::string("bmp/") + c.name + ".bmp")), reference,
        {.codec = "bmp",
         .bitsPerPixel = c.bitsPerPixel,
         .pixelFormat = c.pixelFormat,
         .hasAlpha = c.hasAlpha,
         // Without alpha every pixel must read as opaque, like the P6 references.
         .compareAlpha = c.hasAlpha || !reference.hasAlpha});
}

INSTANTIATE_TEST_SUITE_P(
    WrittenByNetpbm, BmpFixtureTest,
    ::testing::Values(
        FixtureCase{"nb_win_1bpp", "nb_win_1bpp.ppm", 1, PixelFormat::Indexed1, false},
        FixtureCase{"nb_win_4bpp", "nb_win_4bpp.ppm", 4, PixelFormat::Indexed4, false},
        // 190 colours: a short colour table.
        FixtureCase{"nb_win_8bpp", "nb_win_8bpp.ppm", 8, PixelFormat::Indexed8, false},
        FixtureCase{"nb_win_24bpp", "nb_win_24bpp.ppm", 24, PixelFormat::Rgb24, false},
        FixtureCase{"nb_os2_1bpp", "nb_os2_1bpp.ppm", 1, PixelFormat::Indexed1, false},
        FixtureCase{"nb_os2_4bpp", "nb_os2_4bpp.ppm", 4, PixelFormat::Indexed4, false},
        FixtureCase{"nb_os2_8bpp", "nb_os2_8bpp.ppm", 8, PixelFormat::Indexed8, false},
        FixtureCase{"nb_os2_24bpp", "nb_os2_24bpp.ppm", 24, PixelFormat::Rgb24, false}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    WrittenByImageMagick, BmpFixtureTest,
    ::testing::Values(
        FixtureCase{"im_bmp3_1bpp", "im_bmp3_1bpp.ppm", 1, PixelFormat::Indexed1, false},
        FixtureCase{"im_bmp3_4bpp", "im_bmp3_4bpp.ppm", 4, PixelFormat::Indexed4, false},
        FixtureCase{"im_bmp3_8bpp", "im_bmp3_8bpp.ppm", 8, PixelFormat::Indexed8, false},
        FixtureCase{"im_bmp3_24bpp", "im_bmp3_24bpp.ppm", 24, PixelFormat::Rgb24, false},
        // BI_RGB with alpha values in the fourth byte, which this form does not carry.
        FixtureCase{"im_bmp3_32bpp", "im_bmp3_32bpp.ppm", 32, PixelFormat::Rgb32, false},
        FixtureCase{"im_os2_8bpp", "im_os2_8bpp.ppm", 8, PixelFormat::Indexed8, false},
        FixtureCase{"im_os2_24bpp", "im_os2_24bpp.ppm", 24, PixelFormat::Rgb24, false},
        // Runs one pixel past every row end.
        FixtureCase{"im_rle8", "im_rle8.ppm", 8, PixelFormat::Indexed8, false},
        FixtureCase{"im_v5_argb32", "im_v5_argb32.pam", 32, PixelFormat::Argb32, true}),
    CaseName);

// The reference reader gives this one's colours only; its alpha is checked against the
// values written into the file.
TEST(BmpFixture, SixteenBitAlphaBitFields) {
    std::vector<uint8_t> file = ReadFileBytes(TestData("bmp/im_v5_argb4444.bmp"));
    testing::ReferenceImage colors = ReadReferenceImage(TestData("bmp/im_v5_argb4444.ppm"));
    DecodedPicture picture;
    ASSERT_EQ(DecodeBmp(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(testing::NativeDepthOf("bmp", picture), 16);
    EXPECT_EQ(testing::GdipFormatOf("bmp", picture), PixelFormat::Argb32);
    EXPECT_TRUE(picture.HasAlpha());
    EXPECT_EQ(ComparePixels(*picture.pixels, colors), "");

    uint32_t pixelOffset =
        file[10] | (file[11] << 8) | (file[12] << 16) | (uint32_t{file[13]} << 24);
    const size_t stride = 48;  // 23 pixels of 2 bytes, padded
    for (int32_t y = 0; y < 13; ++y) {
        for (int32_t x = 0; x < 23; ++x) {
            size_t at = pixelOffset + static_cast<size_t>(y) * stride + 2 * static_cast<size_t>(x);
            uint32_t alpha4 = file[at + 1] >> 4;
            ASSERT_EQ(picture.pixels->RowFromBottom(y)[x] >> 24, alpha4 * 17) << x << "," << y;
        }
    }
}

struct SignatureCase {
    std::vector<uint8_t> bytes;
    bool isBmp;
};

TEST(BmpSignature, OnlyBmTwoBytesAreOurs) {
    const SignatureCase cases[] = {
        {{'B', 'M'}, true},
        {{'B', 'M', 0, 0, 0, 0}, true},
        {{}, false},
        {{'B'}, false},
        {{'M', 'B', 0, 0}, false},
        {{'b', 'm', 0, 0}, false},
        {{'B', 'A', 0, 0}, false},  // an OS/2 bitmap array
        {{0x89, 'P', 'N', 'G'}, false},
    };
    for (const SignatureCase& c : cases) {
        EXPECT_EQ(LooksLikeBmp(c.bytes), c.isBmp) << c.bytes.size();
        DecodedPicture picture;
        CodecResult status = DecodeBmp(c.bytes, DefaultDecodeLimits, picture);
        if (c.isBmp)
            EXPECT_EQ(status, CodecStatus::Corrupt);  // the right signature, nothing behind it
        else
            EXPECT_EQ(status, CodecStatus::NotMyFormat);
        EXPECT_EQ(picture.pixels, nullptr);
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

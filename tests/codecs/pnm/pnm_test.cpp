#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/pnm/pnm.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using enum SourceChannels;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// ---- Signature ----------------------------------------------------------------------------

TEST(PnmSignature, MagicNumberThenWhitespaceOrComment) {
    testing::ExpectSignatureResults(LooksLikePnm, {
                                                      {"P1 space", Text("P1 "), true},
                                                      {"P6 newline", Text("P6\n"), true},
                                                      {"P7 newline", Text("P7\n"), true},
                                                      {"P3 comment", Text("P3#"), true},
                                                      {"P0", Text("P0\n"), false},
                                                      {"P8", Text("P8\n"), false},
                                                      {"P6 letter", Text("P6x"), false},
                                                      {"lower case", Text("p6\n"), false},
                                                      {"two bytes", Text("P6"), false},
                                                  });
}

TEST(PnmSignature, OtherFormatsAreLeftToOtherDecoders) {
    testing::ExpectOtherFormatsLeftAlone(DecodePnm,
                                         {"png/rgb8.png", "qoi/rgb.qoi", "tga/rgb24.tga"});
}

// ---- Fixtures against netpbm and ImageMagick ----------------------------------------------

struct FixtureCase {
    const char* file;
    SourceFormat source;
};

TEST(PnmPixels, EveryFormatAndMaxvalAgainstAnotherDecoder) {
    const FixtureCase cases[] = {
        {"plain.pbm", {Grey, 1, 1}},
        {"raw.pbm", {Grey, 1, 1}},
        {"plain.pgm", {Grey, 8, 8}},
        {"raw.pgm", {Grey, 8, 8}},
        {"plain-maxval-7.pgm", {Grey, 8, 8}},
        {"raw-maxval-100.pgm", {Grey, 8, 8}},
        {"raw-maxval-300.pgm", {Grey, 16, 16}},
        {"plain.ppm", {Colour, 8, 24}},
        {"raw.ppm", {Colour, 8, 24}},
        {"raw-maxval-1000.ppm", {Colour, 16, 48}},
        {"plain-maxval-65535.ppm", {Colour, 16, 48}},
        {"commented.ppm", {Colour, 8, 24}},
        {"two-images.ppm", {Colour, 8, 24}},  // the first of two
        {"blackandwhite.pam", {Grey, 8, 8}},
        {"grayscale.pam", {Grey, 8, 8}},
        {"rgb.pam", {Colour, 8, 24}},
        {"no-tupltype.pam", {Colour, 8, 24}},
        {"rgb-alpha.pam", {Colour, 8, 32, AlphaKind::Straight}},
        {"grayscale-alpha-16.pam", {Grey, 16, 32, AlphaKind::Straight}},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string name = std::string("pnm/") + c.file;
        const bool alpha = c.source.alpha != AlphaKind::None;
        testing::ExpectMatchesReference(
            DecodePnm, ReadFileBytes(TestData(name)),
            ReadReferenceImage(TestData(name + (alpha ? ".ref.pam" : ".ref.ppm"))),
            {.source = c.source, .compareAlpha = alpha, .looksLike = LooksLikePnm});
    }
}

// ---- Samples, written by hand -------------------------------------------------------------

struct SampleCase {
    const char* name;
    Bytes file;
    std::vector<uint32_t> pixels;  // top-down, 0xAARRGGBB
};

Bytes Raw(const std::string& header, const Bytes& raster) {
    Bytes file = Text(header);
    file.insert(file.end(), raster.begin(), raster.end());
    return file;
}

TEST(PnmSamples, ScaledToEightBitsRoundedAndPlacedAsTheFormatSays) {
    const SampleCase cases[] = {
        // 1 * 255 / 2 = 127.5 rounds up; a truncating scale would give 127.
        {"plain grey maxval 2", Text("P2 3 1 2 0 1 2"), {0xFF000000, 0xFF808080, 0xFFFFFFFF}},
        // 2 * 255 / 1000 = 0.51 and 998 * 255 / 1000 = 254.49.
        {"raw 16-bit grey", Raw("P5 2 1 1000\n", {0, 2, 3, 0xE6}), {0xFF010101, 0xFFFEFEFE}},
        {"plain PBM digits without separators",
         Text("P1\n3 1\n010"),
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
        {"raw PBM rows padded to a byte",
         Raw("P4 3 2\n", {0x40, 0xA0}),
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}},
        {"comment in the raster of a plain PPM",
         Text("P3 1 2 255 1 2 3#x\n4 5 6"),
         {0xFF010203, 0xFF040506}},
        {"comment right after the magic number", Text("P2#c\n1 1 255 9"), {0xFF090909}},
        {"PAM grey and alpha",
         Raw("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n",
             {10, 20, 30, 40}),
         {0x140A0A0A, 0x281E1E1E}},
        {"PAM black and white: 1 is white",
         Raw("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 1\nMAXVAL 1\nTUPLTYPE BLACKANDWHITE\nENDHDR\n", {1, 0}),
         {0xFFFFFFFF, 0xFF000000}},
        {"PAM of depth 4 without a tuple type is RGBA",
         Raw("P7\nDEPTH 4\nMAXVAL 255\nHEIGHT 1\nWIDTH 1\nENDHDR\n", {1, 2, 3, 4}),
         {0x04010203}},
        {"PAM maxval 3 with alpha",
         Raw("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 3\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
             {1, 2, 3, 1}),
         {0x5555AAFF}},
    };
    for (const SampleCase& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedPicture picture;
        ASSERT_EQ(DecodePnm(c.file, DefaultDecodeLimits, picture), CodecStatus::Ok);
        const PixelStore& store = *picture.pixels;
        std::vector<uint32_t> topDown;
        for (int32_t y = store.Height(); y-- > 0;) {
            const uint32_t* row = store.Data() + static_cast<size_t>(y) * store.Width();
            topDown.insert(topDown.end(), row, row + store.Width());
        }
        EXPECT_EQ(topDown, c.pixels);
    }
}

TEST(PnmSamples, RawRowsOfEveryWidthMatchTheirPlainForm) {
    // Raw RGB rows go four pixels at a time where they can, the rest one by one: each width
    // from 1 to 13 puts the seam elsewhere. Plain samples are read one by one throughout.
    for (int channels : {3, 4}) {
        for (int width = 1; width <= 13; ++width) {
            SCOPED_TRACE(std::to_string(channels) + " samples, width " + std::to_string(width));
            Bytes samples;
            std::string plain = channels == 3 ? "P3 " + std::to_string(width) + " 2 255\n"
                                              : "P7\nWIDTH " + std::to_string(width) +
                                                    "\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nENDHDR\n";
            for (int i = 0; i < width * 2 * channels; ++i) {
                samples.push_back(static_cast<uint8_t>(i * 37 + 11));
                plain += std::to_string(samples.back()) + " ";
            }
            const Bytes raw = channels == 3
                                  ? Raw("P6 " + std::to_string(width) + " 2 255\n", samples)
                                  : Raw(plain.substr(0, plain.find("ENDHDR\n") + 7), samples);
            DecodedPicture fromRaw;
            ASSERT_EQ(DecodePnm(raw, DefaultDecodeLimits, fromRaw), CodecStatus::Ok);
            std::vector<uint32_t> expected;
            for (size_t i = 0; i < samples.size(); i += channels) {
                const uint32_t alpha = channels == 4 ? samples[i + 3] : 0xFF;
                expected.push_back(alpha << 24 | uint32_t{samples[i]} << 16 |
                                   uint32_t{samples[i + 1]} << 8 | samples[i + 2]);
            }
            std::vector<uint32_t> topDown;
            for (int32_t y = 2; y-- > 0;) {
                const uint32_t* row = fromRaw.pixels->Data() + static_cast<size_t>(y) * width;
                topDown.insert(topDown.end(), row, row + width);
            }
            EXPECT_EQ(topDown, expected);
            if (channels == 3) {
                DecodedPicture fromPlain;
                ASSERT_EQ(DecodePnm(Text(plain), DefaultDecodeLimits, fromPlain), CodecStatus::Ok);
                EXPECT_TRUE(std::equal(fromPlain.pixels->Data(),
                                       fromPlain.pixels->Data() + 2 * width,
                                       fromRaw.pixels->Data()));
            }
        }
    }
}

// ---- Broken and hostile files -------------------------------------------------------------

TEST(PnmBroken, HeadersAndRastersThatBreakTheFormatAreCorrupt) {
    testing::ExpectEachRefused(
        DecodePnm,
        {
            {"maxval 0", Raw("P5 1 1 0\n", {0}), "pnm: the maxval is 0 or above 65535"},
            {"maxval 65536", Raw("P5 1 1 65536\n", {0, 0}), "pnm: the maxval is 0 or above 65535"},
            {"width 0", Raw("P5 0 1 255\n", {0}), "pnm: a side of the picture is 0"},
            {"height missing", Text("P6 1\n"), "pnm: a header field is missing or no number"},
            {"letter in the header", Raw("P5 1 x 255\n", {0}),
             "pnm: a header field is missing or no number"},
            {"no whitespace after maxval", Raw("P5 1 1 255", {0}),
             "pnm: no whitespace between the header and the raster"},
            {"raw sample above maxval", Raw("P5 2 1 100\n", {100, 101}),
             "pnm: a sample is above the maxval"},
            {"raw 16-bit sample above maxval", Raw("P5 1 1 300\n", {1, 45}),
             "pnm: a sample is above the maxval"},
            {"plain sample above maxval", Text("P2 2 1 7 7 8"),
             "pnm: a sample is above the maxval"},
            {"plain sample with a letter", Text("P3 1 1 255 1 2 3x"),
             "pnm: a plain sample is missing or no number"},
            {"plain PBM with a 2", Text("P1 2 1 12"),
             "pnm: a plain PBM pixel is missing or neither 0 nor 1"},
            {"raw raster one byte short", Raw("P6 2 1 255\n", {1, 2, 3, 4, 5}),
             "pnm: the raster is shorter than the picture"},
            {"plain raster one sample short", Text("P3 1 2 255 1 2 3 4 5 #6"),
             "pnm: a plain sample is missing or no number"},
            {"PAM without ENDHDR", Raw("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\n", {0}),
             "pnm: the PAM header ends before ENDHDR"},
            {"PAM without MAXVAL", Raw("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nENDHDR\n", {0}),
             "pnm: the maxval is 0 or above 65535"},
            {"PAM with an unknown tuple type",
             Raw("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\n",
                 {1, 2, 3, 4}),
             "pnm: the PAM tuple type is unknown or does not match the depth"},
            {"PAM RGB of depth 4",
             Raw("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n",
                 {1, 2, 3, 4}),
             "pnm: the PAM tuple type is unknown or does not match the depth"},
            {"PAM of depth 5 without tuple type",
             Raw("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 5\nMAXVAL 255\nENDHDR\n", {1, 2, 3, 4, 5}),
             "pnm: the PAM tuple type is unknown or does not match the depth"},
            {"PAM with an unknown keyword",
             Raw("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nCOLOUR 1\nENDHDR\n", {0}),
             "pnm: a PAM header line is unknown or its value no number"},
        },
        CodecStatus::Corrupt);
}

TEST(PnmBroken, SizesBeyondWhatWeHoldAreTooLargeWhateverTheFileHolds) {
    const char* TooLarge = "pnm: the picture is larger than the limits allow";
    testing::ExpectEachRefused(
        DecodePnm,
        {
            {"raw 100000 x 100000", Text("P6 100000 100000 255\n"), TooLarge},
            {"plain 2^31 wide", Text("P1 2147483648 1\n0"), TooLarge},
            {"digits beyond 64 bits", Text("P5 99999999999999999999999 1 255\n"), TooLarge},
            {"PAM 70000 x 70000",
             Text("P7\nWIDTH 70000\nHEIGHT 70000\nDEPTH 3\nMAXVAL 255\nENDHDR\n"), TooLarge},
        },
        CodecStatus::TooLarge);
}

// Raw PPM and PAM files are cut at every length by the conformance test; PBM packs its bits.
TEST(PnmBroken, EveryPrefixOfARawBitmapIsRefused) {
    const Bytes whole = ReadFileBytes(TestData("pnm/raw.pbm"));
    testing::ExpectEveryPrefixStatus(DecodePnm, whole, [&](size_t length) {
        if (length < 3) return CodecStatus::NotMyFormat;
        return length == whole.size() ? CodecStatus::Ok : CodecStatus::Corrupt;
    });
}

TEST(PnmBroken, PlainFileCutBeforeItsLastSampleIsRefused) {
    Bytes whole = ReadFileBytes(TestData("pnm/plain.ppm"));
    while (whole.back() < '0' || whole.back() > '9') whole.pop_back();  // the trailing newline
    size_t lastSample = whole.size();
    while (whole[lastSample - 1] >= '0' && whole[lastSample - 1] <= '9') --lastSample;
    testing::ExpectEachRefused(
        DecodePnm,
        {
            {"cut before the last sample", testing::Prefix(whole, lastSample),
             "pnm: a plain sample is missing or no number"},
            {"cut in half", testing::Prefix(whole, whole.size() / 2),
             "pnm: the raster is shorter than the picture"},
        },
        CodecStatus::Corrupt);
    DecodedPicture picture;
    EXPECT_EQ(DecodePnm(whole, DefaultDecodeLimits, picture), CodecStatus::Ok);
}

}  // namespace
}  // namespace pic2pnm::codecs

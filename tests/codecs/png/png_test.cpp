#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/png/png.h"
#include "helpers/codec_checks.h"
#include "helpers/png_files.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::AppendBe32;
using testing::Chunk;
using testing::ComparePixels;
using testing::Ihdr;
using testing::Png;
using testing::PngFileSignature;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;
using testing::Zlib;

// ---- Building small PNG files by hand ---------------------------------------------------

// Scanlines (filter type 0) of a 16-bit picture; with Adam7, pass by pass.
template <typename SamplesOf>
Bytes Scanlines16(uint32_t width, uint32_t height, int channels, bool interlaced,
                  SamplesOf samplesOf) {
    struct Pass {
        uint32_t x0, y0, dx, dy;
    };
    const std::vector<Pass> passes =
        interlaced ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                       {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                   : std::vector<Pass>{{0, 0, 1, 1}};
    Bytes raw;
    for (const Pass& pass : passes) {
        if (pass.x0 >= width) continue;
        for (uint32_t y = pass.y0; y < height; y += pass.dy) {
            raw.push_back(0);
            for (uint32_t x = pass.x0; x < width; x += pass.dx) {
                for (int c = 0; c < channels; ++c) {
                    const uint16_t sample = samplesOf(x, y, c);
                    raw.push_back(static_cast<uint8_t>(sample >> 8));
                    raw.push_back(static_cast<uint8_t>(sample));
                }
            }
        }
    }
    return raw;
}

CodecResult Decode(const Bytes& bytes, DecodedPicture& picture) {
    return DecodePng(FileView(bytes.data(), bytes.size()), DefaultDecodeLimits, picture);
}

size_t FindChunk(const Bytes& png, const char* type) {
    for (size_t at = 8; at + 8 <= png.size();) {
        const uint32_t size = uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 |
                              uint32_t{png[at + 2]} << 8 | png[at + 3];
        if (std::memcmp(png.data() + at + 4, type, 4) == 0) return at;
        at += 12 + size;
    }
    ADD_FAILURE() << "no " << type << " chunk";
    return 0;
}

// ---- Signature ----------------------------------------------------------------------------

TEST(PngSignature, OnlyTheEightSignatureBytesCount) {
    testing::ExpectSignatureResults(
        LooksLikePng,
        {
            {"signature alone", PngFileSignature, true},
            {"signature and more", Png({Ihdr(1, 1, 8, 2, false)}), true},
            {"seven bytes", Bytes(PngFileSignature.begin(), PngFileSignature.end() - 1), false},
            {"line ending mangled", {0x89, 'P', 'N', 'G', '\n', '\n', 0x1A, '\n'}, false},
            {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, false},
            {"empty", {}, false},
        });
}

// ---- Every colour type and depth against libpng's reading (written by ImageMagick) --------

struct FixtureCase {
    const char* file;
    uint16_t bitsPerPixel;
    PixelFormatCode pixelFormat;
    bool hasAlpha;
};

void ExpectMatchesReference(const FixtureCase& c) {
    SCOPED_TRACE(c.file);
    const std::string name = std::string("png/") + c.file;
    const std::string base = name.substr(0, name.size() - 4);
    testing::ExpectMatchesReference(
        DecodePng, ReadFileBytes(TestData(name)),
        ReadReferenceImage(TestData(base + (c.hasAlpha ? ".pam" : ".ppm"))),
        {.codec = "png",
         .bitsPerPixel = c.bitsPerPixel,
         .pixelFormat = c.pixelFormat,
         .hasAlpha = c.hasAlpha,
         .compareAlpha = c.hasAlpha});
}

TEST(PngPixels, OpaqueColourTypesAndDepths) {
    const FixtureCase cases[] = {
        {"rgb8.png", 24, PixelFormat::Rgb24, false},
        {"rgb16.png", 24, PixelFormat::Rgb48, false},
        {"grey1.png", 8, PixelFormat::Indexed8, false},
        {"grey2.png", 8, PixelFormat::Indexed8, false},
        {"grey4.png", 8, PixelFormat::Indexed8, false},
        {"grey8.png", 8, PixelFormat::Indexed8, false},
        {"grey16.png", 24, PixelFormat::Gray16, false},
        {"palette1.png", 1, PixelFormat::Indexed1, false},
        {"palette2.png", 4, PixelFormat::Indexed4, false},
        {"palette4.png", 4, PixelFormat::Indexed4, false},
        {"palette8.png", 8, PixelFormat::Indexed8, false},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

TEST(PngPixels, AlphaChannels) {
    const FixtureCase cases[] = {
        {"rgba8.png", 32, PixelFormat::Argb32, true},
        {"rgba16.png", 32, PixelFormat::Argb64, true},
        {"greyalpha8.png", 32, PixelFormat::Argb32, true},
        {"greyalpha16.png", 32, PixelFormat::Argb64, true},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

TEST(PngPixels, TransparencyChunk) {
    const FixtureCase cases[] = {
        {"palette8-trns.png", 32, PixelFormat::Argb32, true},  // tRNS shorter than PLTE
        {"palette2-trns.png", 32, PixelFormat::Argb32, true},
        {"grey8-trns.png", 32, PixelFormat::Argb32, true},
        {"grey2-trns.png", 32, PixelFormat::Argb32, true},
        {"grey16-trns.png", 32, PixelFormat::Argb64, true},
        {"rgb8-trns.png", 32, PixelFormat::Argb32, true},
        {"rgb16-trns.png", 32, PixelFormat::Argb64, true},
        {"im-palette-trns.png", 32, PixelFormat::Argb32, true},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

TEST(PngPixels, Interlaced) {
    const FixtureCase cases[] = {
        {"rgb8-interlaced.png", 24, PixelFormat::Rgb24, false},
        {"rgb16-interlaced.png", 24, PixelFormat::Rgb48, false},
        {"rgba16-interlaced.png", 32, PixelFormat::Argb64, true},
        {"im-rgba16-interlaced.png", 32, PixelFormat::Argb64, true},
        {"grey16-interlaced.png", 24, PixelFormat::Gray16, false},
        {"greyalpha8-interlaced.png", 32, PixelFormat::Argb32, true},
        {"grey1-interlaced.png", 8, PixelFormat::Indexed8, false},
        {"palette2-interlaced.png", 4, PixelFormat::Indexed4, false},
        // Too small for some of the seven passes.
        {"rgba16-interlaced-1x1.png", 32, PixelFormat::Argb64, true},
        {"grey4-interlaced-3x2.png", 8, PixelFormat::Indexed8, false},
        {"rgb16-interlaced-9x5.png", 24, PixelFormat::Rgb48, false},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

// ---- 16-bit samples become the nearest 8-bit level ----------------------------------------

struct Rounding {
    uint16_t sample;
    uint32_t level;
};
// Worked out by hand as sample / 257 to the nearest integer; most differ from the high byte.
constexpr std::array<Rounding, 12> Roundings = {{{0, 0},
                                                 {128, 0},
                                                 {129, 1},
                                                 {255, 1},
                                                 {385, 1},
                                                 {386, 2},
                                                 {25829, 101},
                                                 {32767, 127},
                                                 {32768, 128},
                                                 {65406, 254},
                                                 {65407, 255},
                                                 {65535, 255}}};

// Neighbouring pixels, rows and channels all get different samples.
const Rounding& RoundingAt(uint32_t x, uint32_t y, int channel) {
    return Roundings[(5 * x + 7 * y + 3 * static_cast<uint32_t>(channel)) % Roundings.size()];
}

TEST(PngSixteenBits, SamplesAreRoundedNotTruncated) {
    constexpr uint32_t width = 9;  // 9 x 5: every Adam7 pass has pixels
    constexpr uint32_t height = 5;
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "Adam7" : "not interlaced");
        const Bytes raw =
            Scanlines16(width, height, 4, interlaced,
                        [](uint32_t x, uint32_t y, int c) { return RoundingAt(x, y, c).sample; });
        const Bytes png = Png({Ihdr(width, height, 16, 6, interlaced), Chunk("IDAT", Zlib(raw))});
        DecodedPicture picture;
        ASSERT_EQ(Decode(png, picture), CodecStatus::Ok);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t expected =
                    RoundingAt(x, y, 2).level | RoundingAt(x, y, 1).level << 8 |
                    RoundingAt(x, y, 0).level << 16 | RoundingAt(x, y, 3).level << 24;
                EXPECT_EQ(picture.pixels->RowFromTop(static_cast<int32_t>(y))[x], expected)
                    << "pixel " << x << "," << y;
            }
        }
    }
}

TEST(PngSixteenBits, GreySamplesAreRoundedInEveryPass) {
    constexpr uint32_t width = 11;
    constexpr uint32_t height = 6;
    const Bytes raw = Scanlines16(width, height, 1, true, [](uint32_t x, uint32_t y, int) {
        return RoundingAt(x, y, 0).sample;
    });
    const Bytes png = Png({Ihdr(width, height, 16, 0, true), Chunk("IDAT", Zlib(raw))});
    DecodedPicture picture;
    ASSERT_EQ(Decode(png, picture), CodecStatus::Ok);
    EXPECT_EQ(testing::GdipFormatOf("png", picture), PixelFormat::Gray16);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t level = RoundingAt(x, y, 0).level;
            EXPECT_EQ(picture.pixels->RowFromTop(static_cast<int32_t>(y))[x],
                      0xFF000000u | level << 16 | level << 8 | level)
                << "pixel " << x << "," << y;
        }
    }
}

// ---- Resolution ---------------------------------------------------------------------------

TEST(PngResolution, FromPhysInPixelsPerMetreOnly) {
    struct Case {
        const char* file;
        float dpiX;
        float dpiY;
    };
    const Case cases[] = {
        {"png/rgb8.png", 96.012f, 96.012f},     // 3780 per metre
        {"png/rgba8.png", 72.009f, 143.9926f},  // 2835 and 5669 per metre
        {"png/grey8.png", 0, 0},                // unit 0: only the pixel shape
        {"png/rgb16.png", 0, 0},                // no pHYs
    };
    for (const Case& c : cases) {
        DecodedPicture picture;
        ASSERT_EQ(Decode(ReadFileBytes(TestData(c.file)), picture), CodecStatus::Ok) << c.file;
        EXPECT_NEAR(picture.dpiX, c.dpiX, 0.001) << c.file;
        EXPECT_NEAR(picture.dpiY, c.dpiY, 0.001) << c.file;
    }
}

// ---- Broken and hostile files -------------------------------------------------------------

Bytes WithByteFlipped(Bytes bytes, size_t at, uint8_t mask = 0x5A) {
    bytes.at(at) ^= mask;
    return bytes;
}

TEST(PngBroken, DamagedFilesAreCorrupt) {
    const Bytes good = ReadFileBytes(TestData("png/rgb8.png"));
    const size_t idat = FindChunk(good, "IDAT");
    const Bytes pixelOnly =
        Png({Ihdr(2, 1, 8, 2, false), Chunk("IDAT", Zlib({0, 1, 2, 3, 4, 5, 6}))});
    testing::ExpectEachRefused(
        DecodePng,
        {
            {"cut in the first IDAT", testing::Prefix(good, idat + 30),
             "png: the file ends before the picture does"},
            {"cut after the first IDAT", testing::Prefix(good, idat + 12 + 300),
             "png: the file ends before the picture does"},
            {"IHDR CRC wrong", WithByteFlipped(good, 30),
             "png: libspng finds a critical chunk's CRC wrong"},
            {"IHDR width changed under its CRC", WithByteFlipped(good, 19, 0x01),
             "png: libspng finds a critical chunk's CRC wrong"},
            {"IDAT data changed under its CRC", WithByteFlipped(good, idat + 40),
             "png: libspng finds a critical chunk's CRC wrong"},
            {"IDAT CRC wrong", WithByteFlipped(good, idat + 8 + 300 + 1),
             "png: libspng finds a critical chunk's CRC wrong"},
            {"no IDAT", Png({Ihdr(4, 4, 8, 2, false)}),
             "png: libspng finds a chunk out of place or size"},
            {"IDAT stream too short",
             Png({Ihdr(4, 4, 8, 2, false), Chunk("IDAT", Zlib({0, 1, 2}))}),
             "png: the file ends before the picture does"},
            {"unknown filter type",
             Png({Ihdr(2, 1, 8, 2, false), Chunk("IDAT", Zlib({9, 1, 2, 3, 4, 5, 6}))}),
             "png: libspng finds a row of an unknown filter type"},
            {"palette picture without PLTE",
             Png({Ihdr(2, 1, 8, 3, false), Chunk("IDAT", Zlib({0, 0, 0}))}),
             "png: libspng finds the palette or tRNS missing or wrong"},
            {"bit depth 3", Png({Ihdr(2, 1, 3, 0, false), Chunk("IDAT", Zlib({0, 0}))}),
             "png: libspng finds no IHDR chunk or a broken one"},
            {"colour type 5", Png({Ihdr(2, 1, 8, 5, false), Chunk("IDAT", Zlib({0, 0, 0}))}),
             "png: libspng finds no IHDR chunk or a broken one"},
            {"width 0", Png({Ihdr(0, 1, 8, 2, false), Chunk("IDAT", Zlib({0}))}),
             "png: libspng finds no IHDR chunk or a broken one"},
            {"width over 2^31 - 1", Png({Ihdr(0x80000000u, 1, 8, 2, false)}),
             "png: libspng finds no IHDR chunk or a broken one"},
            {"unknown critical chunk",
             [&] {
                 Bytes png = pixelOnly;
                 const Bytes odd = Chunk("ABCD", {1, 2, 3});
                 png.insert(png.begin() + 33, odd.begin(), odd.end());
                 return png;
             }(),
             "png: libspng finds an unknown critical chunk"},
        },
        CodecStatus::Corrupt);
    DecodedPicture picture;
    EXPECT_EQ(Decode(pixelOnly, picture), CodecStatus::Ok) << "the hand-made base file";
}

TEST(PngBroken, DamagedAncillaryChunkIsSkipped) {
    const Bytes good = ReadFileBytes(TestData("png/rgb8.png"));
    const size_t phys = FindChunk(good, "pHYs");
    DecodedPicture picture;
    ASSERT_EQ(Decode(WithByteFlipped(good, phys + 8 + 9 + 1), picture), CodecStatus::Ok);
    EXPECT_EQ(picture.dpiX, 0);
    EXPECT_EQ(ComparePixels(*picture.pixels, ReadReferenceImage(TestData("png/rgb8.ppm"))), "");
}

TEST(PngBroken, DeclaredSizeBeyondWhatWeHoldIsTooLarge) {
    struct Case {
        uint32_t width;
        uint32_t height;
    };
    // Only the header is there: the decoder must refuse before it allocates or reads pixels.
    const Case cases[] = {{100000, 100000}, {0x7FFFFFFF, 1}, {1, 0x7FFFFFFF}, {23171, 23171}};
    for (const Case& c : cases) {
        DecodedPicture picture;
        EXPECT_EQ(Decode(Png({Ihdr(c.width, c.height, 8, 6, false)}), picture),
                  CodecStatus::TooLarge)
            << c.width << "x" << c.height;
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

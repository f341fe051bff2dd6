#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codecs/codecs.h"
#include "support/reference_image.h"
#include "support/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ComparePixels;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

CodecStatus Decode(const Bytes& bytes, DecodedPicture& picture) {
    return DecodeWebp(FileView(bytes.data(), bytes.size()), picture);
}

void PutLittle32(Bytes& out, uint32_t value) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

// A RIFF WEBP container holding the given chunks (each: four-letter name, then its body).
Bytes Riff(const std::vector<std::pair<std::string, Bytes>>& chunks) {
    Bytes body = {'W', 'E', 'B', 'P'};
    for (const auto& [name, data] : chunks) {
        body.insert(body.end(), name.begin(), name.end());
        PutLittle32(body, static_cast<uint32_t>(data.size()));
        body.insert(body.end(), data.begin(), data.end());
        if (data.size() % 2 != 0) body.push_back(0);
    }
    Bytes out = {'R', 'I', 'F', 'F'};
    PutLittle32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// The extended header chunk: flags, then canvas width and height less one, 24 bits each.
Bytes Vp8x(uint8_t flags, uint32_t width, uint32_t height) {
    Bytes body = {flags, 0, 0, 0};
    for (uint32_t side : {width - 1, height - 1}) {
        for (int k = 0; k < 3; ++k) body.push_back(static_cast<uint8_t>(side >> (8 * k)));
    }
    return body;
}

// ---- Signature ----------------------------------------------------------------------------

TEST(WebpSignature, RiffContainerOfKindWebp) {
    struct Case {
        const char* name;
        Bytes bytes;
        bool expected;
    };
    const Case cases[] = {
        {"RIFF WEBP", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P'}, true},
        {"RIFF WAVE", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, false},
        {"RIFX WEBP", {'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'E', 'B', 'P'}, false},
        {"eleven bytes", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B'}, false},
        {"empty", {}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LooksLikeWebp(FileView(c.bytes.data(), c.bytes.size())), c.expected) << c.name;
    }
}

TEST(WebpSignature, OtherFormatsAreLeftToOtherDecoders) {
    for (const char* name : {"png/rgb8.png", "tiff/rgb8-none.tif", "webp/lossy.ppm"}) {
        DecodedPicture picture;
        EXPECT_EQ(Decode(ReadFileBytes(TestData(name)), picture), CodecStatus::NotMyFormat) << name;
    }
}

// ---- Fixtures against dwebp and ImageMagick -----------------------------------------------

struct FixtureCase {
    const char* file;
    bool hasAlpha;
    int tolerance;
};

void ExpectMatchesReference(const FixtureCase& c) {
    SCOPED_TRACE(c.file);
    const std::string name = std::string("webp/") + c.file;
    const std::string base = name.substr(0, name.size() - 5);
    DecodedPicture picture;
    ASSERT_EQ(Decode(ReadFileBytes(TestData(name)), picture), CodecStatus::Ok);
    ASSERT_NE(picture.pixels, nullptr);
    const auto reference = ReadReferenceImage(TestData(base + (c.hasAlpha ? ".pam" : ".ppm")));
    EXPECT_EQ(picture.width, reference.width);
    EXPECT_EQ(picture.height, reference.height);
    EXPECT_EQ(picture.hasAlpha, c.hasAlpha);
    EXPECT_FALSE(picture.premultipliedAlpha);
    EXPECT_EQ(picture.bitsPerPixel, c.hasAlpha ? 32 : 24);
    EXPECT_EQ(picture.pixelFormat, c.hasAlpha ? PixelFormat::Argb32 : PixelFormat::Rgb24);
    EXPECT_EQ(picture.dpiX, 0);
    EXPECT_EQ(picture.dpiY, 0);
    EXPECT_EQ(ComparePixels(*picture.pixels, reference, c.tolerance, c.hasAlpha), "");
}

TEST(WebpPixels, StillPictures) {
    const FixtureCase cases[] = {
        {"lossy.webp", false, 2},         {"im-lossy.webp", false, 2},  // written by ImageMagick
        {"lossless.webp", false, 0},      {"lossy-alpha.webp", true, 2},
        {"lossless-alpha.webp", true, 0},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

TEST(WebpPixels, AnimationsShowTheirFirstFrame) {
    const FixtureCase cases[] = {
        {"animated.webp", false, 0},
        // A 12 x 7 first frame at (4, 2) on a 23 x 13 canvas, transparent around it.
        {"animated-offset.webp", true, 0},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

// ---- Broken and hostile files -------------------------------------------------------------

Bytes CutAt(const Bytes& bytes, size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
}

TEST(WebpBroken, DamagedFilesAreCorrupt) {
    const Bytes lossy = ReadFileBytes(TestData("webp/lossy.webp"));
    const Bytes lossless = ReadFileBytes(TestData("webp/lossless-alpha.webp"));
    const Bytes animated = ReadFileBytes(TestData("webp/animated-offset.webp"));
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"container header only", CutAt(lossy, 12)},
        {"lossy cut in its frame header", CutAt(lossy, 26)},
        {"lossy cut in half", CutAt(lossy, lossy.size() / 2)},
        {"lossless cut in half", CutAt(lossless, lossless.size() / 2)},
        {"animation cut in its first frame", CutAt(animated, 100)},
        {"unknown chunk only", Riff({{"ABCD", {1, 2, 3, 4}}})},
        {"VP8 chunk of noise", Riff({{"VP8 ", Bytes(40, 0x5A)}})},
        {"VP8L chunk of noise", Riff({{"VP8L", Bytes(40, 0x5A)}})},
        {"extended header without a picture", Riff({{"VP8X", Vp8x(0, 23, 13)}})},
    };
    for (const Case& c : cases) {
        DecodedPicture picture;
        EXPECT_EQ(Decode(c.bytes, picture), CodecStatus::Corrupt) << c.name;
        EXPECT_EQ(picture.pixels, nullptr) << c.name;
    }
}

TEST(WebpBroken, AnimationCanvasLargerThanAnyFrameIsTooLarge) {
    const Bytes animated = ReadFileBytes(TestData("webp/animated.webp"));
    struct Case {
        uint32_t width;
        uint32_t height;
        CodecStatus expected;
    };
    const Case cases[] = {
        {16383, 13, CodecStatus::Ok},  // the largest side a frame can have
        {16384, 13, CodecStatus::TooLarge},
        {23, 16384, CodecStatus::TooLarge},
        {0xFFFFFF, 13, CodecStatus::TooLarge},
        {65536, 65535, CodecStatus::TooLarge},  // beyond what we hold at all
    };
    for (const Case& c : cases) {
        Bytes file = animated;  // its VP8X chunk holds the canvas size less one at 24 and 27
        for (int k = 0; k < 3; ++k) {
            file.at(24 + static_cast<size_t>(k)) = static_cast<uint8_t>((c.width - 1) >> (8 * k));
            file.at(27 + static_cast<size_t>(k)) = static_cast<uint8_t>((c.height - 1) >> (8 * k));
        }
        DecodedPicture picture;
        EXPECT_EQ(Decode(file, picture), c.expected) << c.width << "x" << c.height;
        if (c.expected == CodecStatus::Ok) {
            EXPECT_EQ(picture.width, static_cast<int32_t>(c.width));
            EXPECT_TRUE(picture.hasAlpha) << "the canvas beyond the first frame is transparent";
        }
    }
}

TEST(WebpBroken, PixelCountCapIsHonoured) {
    for (const char* name : {"webp/lossy.webp", "webp/animated.webp"}) {
        const Bytes webp = ReadFileBytes(TestData(name));  // 23 x 13
        DecodedPicture picture;
        SetPixelCountCapForFuzzing(23 * 13 - 1);
        EXPECT_EQ(Decode(webp, picture), CodecStatus::TooLarge) << name;
        SetPixelCountCapForFuzzing(23 * 13);
        EXPECT_EQ(Decode(webp, picture), CodecStatus::Ok) << name;
        SetPixelCountCapForFuzzing(0);
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

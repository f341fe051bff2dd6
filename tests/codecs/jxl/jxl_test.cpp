// JPEG XL through libjxl: the signature, the pictures against GraphicsMagick's pixels (it
// reads them through the same library), and cut, damaged and oversized files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/jxl/jxl.h"
#include "helpers/codec_checks.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ReadFileBytes;
using testing::TestData;

TEST(JxlSignature, CodestreamOrContainer) {
    testing::ExpectSignatureResults(
        LooksLikeJxl,
        {
            {"bare codestream", {0xFF, 0x0A}, true},
            {"container", {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A}, true},
            {"JPEG", {0xFF, 0xD8, 0xFF}, false},
            {"container cut short", {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87}, false},
            {"container of another kind",
             {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A},
             false},
            {"one byte", {0xFF}, false},
            {"empty", {}, false},
        });
}

TEST(JxlSignature, OtherFormatsAreLeftToOtherDecoders) {
    testing::ExpectOtherFormatsLeftAlone(
        DecodeJxl, {"jpeg/baseline420.jpg", "heif/lossy.heic", "avif/lossless.avif"});
}

struct FixtureCase {
    const char* file;
    bool hasAlpha;
    int tolerance;
};

TEST(JxlPixels, AgainstGraphicsMagick) {
    const FixtureCase cases[] = {
        {"lossless.jxl", false, 0},
        {"lossy.jxl", false, 0},
        {"lossless-alpha.jxl", true, 0},
        {"grey.jxl", false, 0},
        {"deep16.jxl", false, 0},   // 16-bit samples, scaled to 8 with
                                    // rounding
        {"float.jxl", false, 0},    // 32-bit floating-point samples
        {"animated.jxl", true, 0},  // two frames, from a GIF; the first is shown
    };
    for (const FixtureCase& c : cases) {
        testing::ExpectMatchesSiblingReference(DecodeJxl, std::string("jxl/") + c.file, c.hasAlpha,
                                               c.tolerance, LooksLikeJxl);
    }
}

TEST(JxlBroken, EveryCutIsRefused) {
    for (const char* name : {"jxl/lossy.jxl", "jxl/lossless-alpha.jxl", "jxl/float.jxl"}) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadFileBytes(TestData(name));
        testing::ExpectEveryPrefixStatus(DecodeJxl, whole, [&](size_t length) {
            const Bytes prefix = testing::Prefix(whole, length);
            if (!LooksLikeJxl(FileView(prefix.data(), prefix.size())))
                return CodecStatus::NotMyFormat;
            return length < whole.size() ? CodecStatus::Corrupt : CodecStatus::Ok;
        });
    }
}

TEST(JxlBroken, AnimationCutAfterItsFirstFrameStillShowsIt) {
    const Bytes whole = ReadFileBytes(TestData("jxl/animated.jxl"));
    struct Case {
        const char* name;
        size_t keep;
        CodecStatus expected;
    };
    const Case cases[] = {
        {"cut in its header", 20, CodecStatus::Corrupt},
        {"cut one byte short of the end", whole.size() - 1, CodecStatus::Ok},
    };
    for (const Case& c : cases) {
        DecodedPicture picture;
        const Bytes cut = testing::Prefix(whole, c.keep);
        EXPECT_EQ(DecodeJxl(FileView(cut.data(), cut.size()), DefaultDecodeLimits, picture),
                  c.expected)
            << c.name;
    }
}

TEST(JxlBroken, SizeBeyondTheLimitIsTooLarge) {
    // A codestream header of the largest size it can state: 2^30 x 2^30 pixels (small-size
    // flag clear, both sides in the 30-bit form), then nothing.
    const Bytes huge = {0xFF, 0x0A, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    DecodedPicture picture;
    EXPECT_EQ(DecodeJxl(FileView(huge.data(), huge.size()), DefaultDecodeLimits, picture),
              CodecStatus::TooLarge);
    EXPECT_EQ(picture.pixels, nullptr);
}

// A still picture is capped by the conformance test; an animation's first frame too.
TEST(JxlBroken, PixelCountCapIsHonouredForAnAnimation) {
    testing::ExpectPixelCountCapHonoured(DecodeJxl, ReadFileBytes(TestData("jxl/animated.jxl")),
                                         33 * 20);
}

}  // namespace
}  // namespace pic2pnm::codecs

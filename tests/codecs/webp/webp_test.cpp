#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/webp/webp.h"
#include "helpers/codec_checks.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::AppendLe32;
using testing::ReadFileBytes;
using testing::TestData;

CodecResult Decode(const Bytes& bytes, DecodedPicture& picture) {
    return DecodeWebp(FileView(bytes.data(), bytes.size()), DefaultDecodeLimits, picture);
}

// A RIFF WEBP container holding the given chunks (each: four-letter name, then its body).
Bytes Riff(const std::vector<std::pair<std::string, Bytes>>& chunks) {
    Bytes body = {'W', 'E', 'B', 'P'};
    for (const auto& [name, data] : chunks) {
        body.insert(body.end(), name.begin(), name.end());
        AppendLe32(body, static_cast<uint32_t>(data.size()));
        body.insert(body.end(), data.begin(), data.end());
        if (data.size() % 2 != 0) body.push_back(0);
    }
    Bytes out = {'R', 'I', 'F', 'F'};
    AppendLe32(out, static_cast<uint32_t>(body.size()));
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
    testing::ExpectSignatureResults(
        LooksLikeWebp,
        {
            {"RIFF WEBP", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P'}, true},
            {"RIFF WAVE", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, false},
            {"RIFX WEBP", {'R', 'I', 'F', 'X', 4, 0, 0, 0, 'W', 'E', 'B', 'P'}, false},
            {"eleven bytes", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B'}, false},
            {"empty", {}, false},
        });
}

// ---- Fixtures against dwebp and ImageMagick -----------------------------------------------

struct FixtureCase {
    const char* file;
    bool hasAlpha;
    int tolerance;
};

void ExpectMatchesReference(const FixtureCase& c) {
    testing::ExpectMatchesSiblingReference(DecodeWebp, std::string("webp/") + c.file, c.hasAlpha,
                                           c.tolerance);
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

TEST(WebpBroken, DamagedFilesAreCorrupt) {
    testing::ExpectEachRefused(
        DecodeWebp,
        {
            {"unknown chunk only", Riff({{"ABCD", {1, 2, 3, 4}}}),
             "webp: libwebp finds the bitstream broken"},
            {"VP8 chunk of noise", Riff({{"VP8 ", Bytes(40, 0x5A)}}),
             "webp: libwebp finds the bitstream broken"},
            {"VP8L chunk of noise", Riff({{"VP8L", Bytes(40, 0x5A)}}),
             "webp: libwebp finds the bitstream broken"},
            {"extended header without a picture", Riff({{"VP8X", Vp8x(0, 23, 13)}}),
             "webp: the file ends before the picture does"},
        },
        CodecStatus::Corrupt);
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
            EXPECT_TRUE(picture.HasAlpha()) << "the canvas beyond the first frame is transparent";
        }
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

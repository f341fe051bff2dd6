#include "helpers/codec_checks.h"

#include <gtest/gtest.h>

#include <cstring>

#include "codecs/common/pixel_store.h"
#include "helpers/test_files.h"
#include "imaging/native/native_bitmap_depth.h"
#include "testing/testing_hooks.h"

namespace pic2pnm::codecs {

bool operator==(const CodecResult& a, const CodecResult& b) {
    if (a.status != b.status) return false;
    if (a.reason == nullptr || b.reason == nullptr) return a.reason == b.reason;
    return std::strcmp(a.reason, b.reason) == 0;
}

bool operator==(const CodecResult& result, CodecStatus status) {
    return result.status == status;
}

void PrintTo(const CodecResult& result, std::ostream* out) {
    *out << CodecStatusName(result.status);
    if (result.reason != nullptr) *out << " (" << result.reason << ")";
}

void PrintTo(const SourceFormat& s, std::ostream* out) {
    *out << "{channels " << static_cast<int>(s.channels) << ", " << int{s.sampleBits}
         << "-bit samples, " << int{s.pixelBits} << "-bit pixels, alpha "
         << static_cast<int>(s.alpha) << ", palette " << s.paletteEntries << "}";
}

}  // namespace pic2pnm::codecs

namespace pic2pnm::testing {

using codecs::CodecResult;
using codecs::CodecStatus;
using codecs::DecodedPicture;
using codecs::DefaultDecodeLimits;

uint16_t NativeDepthOf(std::string_view codec, const DecodedPicture& picture) {
    return NativeBitmapDepth(codec, picture.source);
}

PixelFormatCode GdipFormatOf(std::string_view codec, const DecodedPicture& picture) {
    return GdipPixelFormatOf(codec, picture.source);
}

codecs::SourceFormat EightBitRgb(bool alpha) {
    return {.channels = codecs::SourceChannels::Colour,
            .sampleBits = 8,
            .pixelBits = static_cast<uint8_t>(alpha ? 32 : 24),
            .alpha = alpha ? codecs::AlphaKind::Straight : codecs::AlphaKind::None};
}

void ExpectReasonOfTheTable(const CodecResult& result) {
    if (result.IsOk()) {
        EXPECT_EQ(result.reason, nullptr);
        return;
    }
    ASSERT_NE(result.reason, nullptr) << codecs::CodecStatusName(result.status);
    EXPECT_NE(codecs::FindCodecReason(result.reason), nullptr) << result.reason;
    EXPECT_EQ(codecs::StatusOfCodecReason(result.reason), result.status) << result.reason;
}

void ExpectMatchesReference(Decoder decode, const Bytes& file, const ReferenceImage& reference,
                            const ExpectedPicture& expected) {
    if (expected.looksLike != nullptr) {
        ASSERT_TRUE(expected.looksLike(file));
    }
    DecodedPicture picture;
    ASSERT_EQ(decode(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    ASSERT_NE(picture.pixels, nullptr);
    EXPECT_EQ(picture.width, picture.pixels->Width());
    EXPECT_EQ(picture.height, picture.pixels->Height());
    EXPECT_EQ(picture.width, reference.width);
    EXPECT_EQ(picture.height, reference.height);
    if (expected.codec != nullptr) {
        EXPECT_EQ(NativeDepthOf(expected.codec, picture), expected.bitsPerPixel);
        EXPECT_EQ(GdipFormatOf(expected.codec, picture), expected.pixelFormat);
        EXPECT_EQ(GdipHasAlpha(expected.codec, picture.source), expected.hasAlpha);
        EXPECT_EQ(picture.source.alpha == codecs::AlphaKind::Premultiplied,
                  expected.premultipliedAlpha);
    }
    if (expected.source) {
        EXPECT_EQ(picture.source, *expected.source);
    } else if (expected.codec == nullptr) {
        EXPECT_EQ(picture.HasAlpha(), expected.hasAlpha);
    }
    if (expected.dpi) {
        EXPECT_EQ(picture.dpiX, *expected.dpi);
        EXPECT_EQ(picture.dpiY, *expected.dpi);
    }
    EXPECT_EQ(ComparePixels(*picture.pixels, reference, expected.tolerance, expected.compareAlpha),
              "");
}

void ExpectMatchesSiblingReference(Decoder decode, const std::string& name, bool hasAlpha,
                                   int tolerance, SignatureCheck looksLike) {
    SCOPED_TRACE(name);
    const std::string base = name.substr(0, name.rfind('.'));
    ExpectMatchesReference(decode, ReadFileBytes(TestData(name)),
                           ReadReferenceImage(TestData(base + (hasAlpha ? ".pam" : ".ppm"))),
                           {.hasAlpha = hasAlpha,
                            .tolerance = tolerance,
                            .compareAlpha = hasAlpha,
                            .dpi = 0,
                            .looksLike = looksLike});
}

void ExpectEveryPrefixStatus(Decoder decode, const Bytes& whole,
                             const std::function<CodecStatus(size_t length)>& expectedFor) {
    for (size_t length = 0; length <= whole.size(); ++length) {
        const Bytes prefix = Prefix(whole, length);
        DecodedPicture picture;
        const CodecResult result = decode(prefix, DefaultDecodeLimits, picture);
        ASSERT_EQ(result, expectedFor(length)) << "first " << length << " bytes";
        ExpectReasonOfTheTable(result);
    }
}

void ExpectDamagedBytesGiveAStatus(Decoder decode, const Bytes& whole, uint32_t seed, int trials) {
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int trial = 0; trial < trials; ++trial) {
        Bytes damaged = whole;
        for (int k = 0; k < 1 + trial % 4; ++k)
            damaged[(next() >> 8) % damaged.size()] = static_cast<uint8_t>(next() >> 16);
        DecodedPicture picture;
        const CodecResult result = decode(damaged, DefaultDecodeLimits, picture);
        ASSERT_NO_FATAL_FAILURE(ExpectReasonOfTheTable(result)) << "trial " << trial;
        if (result.IsOk()) {
            ASSERT_NE(picture.pixels, nullptr) << "trial " << trial;
            ASSERT_EQ(picture.pixels->Width(), picture.width) << "trial " << trial;
            ASSERT_EQ(picture.pixels->Height(), picture.height) << "trial " << trial;
        } else {
            ASSERT_EQ(picture.pixels, nullptr) << "trial " << trial;
        }
    }
}

void ExpectEachRefused(Decoder decode, const std::vector<NamedBytes>& files, CodecStatus expected) {
    for (const NamedBytes& file : files) {
        DecodedPicture picture;
        const CodecResult result = decode(file.bytes, DefaultDecodeLimits, picture);
        if (file.reason != nullptr) {
            EXPECT_EQ(result, (CodecResult{expected, file.reason})) << file.name;
        } else {
            EXPECT_EQ(result, expected) << file.name;
        }
        ExpectReasonOfTheTable(result);
        EXPECT_EQ(picture.pixels, nullptr) << file.name;
    }
}

void ExpectOtherFormatsLeftAlone(Decoder decode, const std::vector<const char*>& testDataNames) {
    for (const char* name : testDataNames) {
        DecodedPicture picture;
        const CodecResult result =
            decode(ReadFileBytes(TestData(name)), DefaultDecodeLimits, picture);
        EXPECT_EQ(result, CodecStatus::NotMyFormat) << name;
        ExpectReasonOfTheTable(result);
        EXPECT_EQ(picture.pixels, nullptr) << name;
    }
}

void ExpectPixelCountCapHonoured(Decoder decode, const Bytes& file, int64_t pixelCount) {
    DecodedPicture picture;
    codecs::DecodeLimits limits;
    limits.pixels = pixelCount - 1;
    const CodecResult refused = decode(file, limits, picture);
    EXPECT_EQ(refused, CodecStatus::TooLarge);
    ASSERT_NE(refused.reason, nullptr);
    EXPECT_TRUE(
        std::string_view(refused.reason).ends_with(": the picture is larger than the limits allow"))
        << refused.reason;
    limits.pixels = pixelCount;
    EXPECT_EQ(decode(file, limits, picture), CodecStatus::Ok);
}

void ExpectSignatureResults(SignatureCheck looksLike, const std::vector<SignatureCase>& cases) {
    for (const SignatureCase& c : cases) EXPECT_EQ(looksLike(c.bytes), c.expected) << c.name;
}

Bytes Prefix(const Bytes& bytes, size_t length) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(length));
}

void AppendLe16(Bytes& bytes, uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendLe32(Bytes& bytes, uint32_t value) {
    AppendLe16(bytes, value & 0xFFFF);
    AppendLe16(bytes, value >> 16);
}

void AppendBe32(Bytes& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<uint8_t>(value >> shift));
}

void SetLe16(Bytes& bytes, size_t at, uint32_t value) {
    bytes.at(at) = static_cast<uint8_t>(value);
    bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

void SetLe32(Bytes& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLe32(const Bytes& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 4; i-- > 0;) value = (value << 8) | bytes.at(at + i);
    return value;
}

}  // namespace pic2pnm::testing

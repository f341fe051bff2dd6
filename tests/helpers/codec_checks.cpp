#include "helpers/codec_checks.h"

#include <gtest/gtest.h>

#include "codecs/common/pixel_store.h"
#include "helpers/test_files.h"
#include "testing/testing_hooks.h"

namespace pic2pnm::testing {

using codecs::CodecStatus;
using codecs::DecodedPicture;

void ExpectMatchesReference(Decoder decode, const Bytes& file, const ReferenceImage& reference,
                            const ExpectedPicture& expected) {
    if (expected.looksLike != nullptr) {
        ASSERT_TRUE(expected.looksLike(file));
    }
    DecodedPicture picture;
    ASSERT_EQ(decode(file, picture), CodecStatus::Ok);
    ASSERT_NE(picture.pixels, nullptr);
    EXPECT_EQ(picture.width, picture.pixels->Width());
    EXPECT_EQ(picture.height, picture.pixels->Height());
    EXPECT_EQ(picture.width, reference.width);
    EXPECT_EQ(picture.height, reference.height);
    EXPECT_EQ(picture.bitsPerPixel, expected.bitsPerPixel);
    EXPECT_EQ(picture.pixelFormat, expected.pixelFormat);
    EXPECT_EQ(picture.hasAlpha, expected.hasAlpha);
    EXPECT_EQ(picture.premultipliedAlpha, expected.premultipliedAlpha);
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
    ExpectMatchesReference(
        decode, ReadFileBytes(TestData(name)),
        ReadReferenceImage(TestData(base + (hasAlpha ? ".pam" : ".ppm"))),
        {.bitsPerPixel = static_cast<uint16_t>(hasAlpha ? 32 : 24),
         .pixelFormat = hasAlpha ? codecs::PixelFormat::Argb32 : codecs::PixelFormat::Rgb24,
         .hasAlpha = hasAlpha,
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
        ASSERT_EQ(decode(prefix, picture), expectedFor(length)) << "first " << length << " bytes";
    }
}

void ExpectDamagedBytesGiveAStatus(Decoder decode, const Bytes& whole, uint32_t seed, int trials) {
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int trial = 0; trial < trials; ++trial) {
        Bytes damaged = whole;
        for (int k = 0; k < 1 + trial % 4; ++k)
            damaged[(next() >> 8) % damaged.size()] = static_cast<uint8_t>(next() >> 16);
        DecodedPicture picture;
        if (decode(damaged, picture) == CodecStatus::Ok) {
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
        EXPECT_EQ(decode(file.bytes, picture), expected) << file.name;
        EXPECT_EQ(picture.pixels, nullptr) << file.name;
    }
}

void ExpectOtherFormatsLeftAlone(Decoder decode, const std::vector<const char*>& testDataNames) {
    for (const char* name : testDataNames) {
        DecodedPicture picture;
        EXPECT_EQ(decode(ReadFileBytes(TestData(name)), picture), CodecStatus::NotMyFormat) << name;
        EXPECT_EQ(picture.pixels, nullptr) << name;
    }
}

void ExpectPixelCountCapHonoured(Decoder decode, const Bytes& file, int64_t pixelCount) {
    DecodedPicture picture;
    SetPixelCountCapForFuzzing(pixelCount - 1);
    EXPECT_EQ(decode(file, picture), CodecStatus::TooLarge);
    SetPixelCountCapForFuzzing(pixelCount);
    EXPECT_EQ(decode(file, picture), CodecStatus::Ok);
    SetPixelCountCapForFuzzing(0);
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

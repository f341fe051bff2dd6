#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codecs/tga/tga.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::AppendLe16;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

struct Header {
    uint8_t idLength = 0;
    uint8_t mapType = 0;
    uint8_t imageType = 2;
    uint16_t firstEntry = 0;
    uint16_t entryCount = 0;
    uint8_t entryBits = 0;
    uint16_t width = 2;
    uint16_t height = 1;
    uint8_t pixelBits = 24;
    uint8_t descriptor = 0;
};

Bytes Tga(const Header& h, const Bytes& rest) {
    Bytes file = {h.idLength, h.mapType, h.imageType};
    AppendLe16(file, h.firstEntry);
    AppendLe16(file, h.entryCount);
    file.push_back(h.entryBits);
    for (int k = 0; k < 4; ++k) file.push_back(0);  // origin, unused
    AppendLe16(file, h.width);
    AppendLe16(file, h.height);
    file.push_back(h.pixelBits);
    file.push_back(h.descriptor);
    file.insert(file.end(), rest.begin(), rest.end());
    return file;
}

// ---- Fixtures against netpbm and ImageMagick ----------------------------------------------

struct FixtureCase {
    const char* file;
    uint16_t bitsPerPixel;
    uint32_t pixelFormat;
    bool hasAlpha;
    bool premultiplied = false;
    bool compareAlpha = true;  // where the reference has alpha
    int tolerance = 0;
};

void ExpectFixtures(const std::vector<FixtureCase>& cases) {
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string name = std::string("tga/") + c.file;
        testing::ExpectMatchesReference(
            DecodeTga, ReadFileBytes(TestData(name)),
            ReadReferenceImage(
                TestData(name + (c.hasAlpha && c.compareAlpha ? ".ref.pam" : ".ref.ppm"))),
            {.bitsPerPixel = c.bitsPerPixel,
             .pixelFormat = c.pixelFormat,
             .hasAlpha = c.hasAlpha,
             .premultipliedAlpha = c.premultiplied,
             .tolerance = c.tolerance,
             .compareAlpha = c.hasAlpha && c.compareAlpha});
    }
}

TEST(TgaPixels, ImageTypesAndDepths) {
    ExpectFixtures({
        {"mapped.tga", 8, PixelFormat::Indexed8, false},
        {"mapped-rle.tga", 8, PixelFormat::Indexed8, false},
        {"rgb24.tga", 24, PixelFormat::Rgb24, false},
        {"rgb24-rle.tga", 24, PixelFormat::Rgb24, false},
        {"grey.tga", 8, PixelFormat::Indexed8, false},
        {"grey-rle.tga", 8, PixelFormat::Indexed8, false},
        {"rgb15.tga", 16, PixelFormat::Rgb555, false},
        // gm widens 5 bits by repeating their top bits, one level off v * 255 / 31 rounded
        // at times; rgb15.tga holds tgatoppm to the rounded levels exactly.
        {"argb1555.tga", 16, PixelFormat::Argb1555, true, false, true, 1},
        {"argb1555-rle.tga", 16, PixelFormat::Argb1555, true, false, true, 1},
        {"rgba32-rle.tga", 32, PixelFormat::Argb32, true},
    });
}

TEST(TgaPixels, ColourMapsOfEveryEntrySizeWithAFirstEntryIndex) {
    ExpectFixtures({
        {"map15.tga", 8, PixelFormat::Indexed8, false},
        {"map16.tga", 32, PixelFormat::Argb32, true, false, false},
        {"map24.tga", 8, PixelFormat::Indexed8, false},
        {"map32.tga", 32, PixelFormat::Argb32, true},
        {"map24-index16-rle.tga", 24, PixelFormat::Rgb24, false},
    });
}

TEST(TgaPixels, AllFourOrigins) {
    ExpectFixtures({
        {"rgba32-bottom-left.tga", 32, PixelFormat::Argb32, true},
        {"rgba32-bottom-right.tga", 32, PixelFormat::Argb32, true},
        {"rgba32-top-left.tga", 32, PixelFormat::Argb32, true},
        {"rgba32-top-right.tga", 32, PixelFormat::Argb32, true},
    });
}

TEST(TgaPixels, FooterAttributeTypeDecidesWhatTheAlphaBitsMean) {
    ExpectFixtures({
        {"rgba32-attribute-none.tga", 32, PixelFormat::Rgb32, false},
        {"rgba32-attribute-alpha.tga", 32, PixelFormat::Argb32, true},
        {"rgba32-premultiplied.tga", 32, PixelFormat::Argb32, true, true},
    });
}

TEST(TgaPixels, SixteenBitGreyIsGreyThenAlpha) {
    struct Case {
        const char* name;
        uint8_t descriptor;
        bool hasAlpha;
        uint32_t first, second;
    };
    for (const Case& c : {Case{"8 attribute bits", 0x08, true, 0xC80A0A0A, 0x64141414},
                          Case{"no attribute bits", 0x00, false, 0xFF0A0A0A, 0xFF141414}}) {
        SCOPED_TRACE(c.name);
        DecodedPicture picture;
        ASSERT_EQ(DecodeTga(Tga({.imageType = 3, .pixelBits = 16, .descriptor = c.descriptor},
                                {10, 200, 20, 100}),
                            picture),
                  CodecStatus::Ok);
        EXPECT_EQ(picture.hasAlpha, c.hasAlpha);
        EXPECT_EQ(picture.pixels->Data()[0], c.first);
        EXPECT_EQ(picture.pixels->Data()[1], c.second);
    }
}

// ---- What counts as TGA -------------------------------------------------------------------

TEST(TgaLayout, InconsistentHeadersAndMissingDataAreNotTga) {
    const Bytes twoPixels = {1, 2, 3, 4, 5, 6};
    testing::ExpectEachRefused(
        DecodeTga,
        {
            {"image type 4", Tga({.imageType = 4}, twoPixels)},
            {"image type 12", Tga({.imageType = 12}, twoPixels)},
            {"colour-map type 2", Tga({.mapType = 2}, twoPixels)},
            {"colour-mapped without a map", Tga({.imageType = 1, .pixelBits = 8}, {0, 0})},
            {"map entries of 17 bits",
             Tga({.mapType = 1, .imageType = 1, .entryCount = 1, .entryBits = 17, .pixelBits = 8},
                 {0, 0, 0, 0, 0})},
            {"map fields without a map", Tga({.entryCount = 5}, twoPixels)},
            {"24-bit grey", Tga({.imageType = 3}, twoPixels)},
            {"12 bits a pixel", Tga({.pixelBits = 12}, twoPixels)},
            {"width 0", Tga({.width = 0}, twoPixels)},
            {"interleaved rows", Tga({.descriptor = 0x40}, twoPixels)},
            {"one pixel byte short", Tga({}, {1, 2, 3, 4, 5})},
            {"map longer than the file",
             Tga({.mapType = 1, .imageType = 1, .entryCount = 300, .entryBits = 24, .pixelBits = 8},
                 {0, 0})},
            {"run-length packet past the last pixel", Tga({.imageType = 10}, {0x82, 1, 2, 3})},
            {"run-length packets end with the file", Tga({.imageType = 10}, {0x80, 1, 2, 3})},
            {"header only", Tga({}, {})},
        },
        CodecStatus::NotMyFormat);
}

TEST(TgaLayout, DamagedFilesOfOtherFormatsAreLeftAlone) {
    // TGA is tried after every other decoder: whatever they refused must stay refused.
    for (const char* folder : {"hostile", "data/bmp", "data/gif", "data/icon", "data/jpeg",
                               "data/png", "data/tiff", "data/webp", "data/pnm", "data/qoi"}) {
        const std::filesystem::path path = TestData("..") / folder;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (!entry.is_regular_file()) continue;
            const std::string name = entry.path().filename().string();
            if (name.rfind("tga-", 0) == 0) continue;
            DecodedPicture picture;
            EXPECT_EQ(DecodeTga(ReadFileBytes(entry.path()), picture), CodecStatus::NotMyFormat)
                << folder << "/" << name;
        }
    }
}

// ---- Broken files -------------------------------------------------------------------------

TEST(TgaBroken, ColourMapIndexOutsideTheMapIsCorrupt) {
    const Header mapped = {.mapType = 1,
                           .imageType = 1,
                           .firstEntry = 10,
                           .entryCount = 2,
                           .entryBits = 24,
                           .pixelBits = 8};
    const Bytes map = {1, 2, 3, 4, 5, 6};
    auto withIndices = [&](Bytes indices, uint8_t imageType) {
        Header h = mapped;
        h.imageType = imageType;
        Bytes rest = map;
        rest.insert(rest.end(), indices.begin(), indices.end());
        return Tga(h, rest);
    };
    testing::ExpectEachRefused(DecodeTga,
                               {
                                   {"below the first entry", withIndices({10, 9}, 1)},
                                   {"past the last entry", withIndices({11, 12}, 1)},
                                   {"in a run-length packet", withIndices({0x81, 12}, 9)},
                               },
                               CodecStatus::Corrupt);
    DecodedPicture picture;
    ASSERT_EQ(DecodeTga(withIndices({10, 11}, 1), picture), CodecStatus::Ok);
    EXPECT_EQ(picture.pixels->Data()[1], 0xFF060504u);
}

TEST(TgaBroken, DamageGivesAStatusAndTheCapIsHonoured) {
    for (const char* name : {"tga/mapped-rle.tga", "tga/rgba32-rle.tga", "tga/map16.tga"}) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadFileBytes(TestData(name));
        testing::ExpectDamagedBytesGiveAStatus(DecodeTga, whole, 3, 600);
        testing::ExpectPixelCountCapHonoured(DecodeTga, whole, 23 * 17);
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

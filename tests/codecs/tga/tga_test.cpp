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
using enum SourceChannels;
using enum AlphaKind;
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
    SourceFormat source;
    bool compareAlpha = true;  // where the reference has alpha
    int tolerance = 0;
};

void ExpectFixtures(const std::vector<FixtureCase>& cases) {
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string name = std::string("tga/") + c.file;
        const bool alpha = c.source.alpha != None && c.compareAlpha;
        testing::ExpectMatchesReference(
            DecodeTga, ReadFileBytes(TestData(name)),
            ReadReferenceImage(TestData(name + (alpha ? ".ref.pam" : ".ref.ppm"))),
            {.source = c.source, .tolerance = c.tolerance, .compareAlpha = alpha});
    }
}

TEST(TgaPixels, ImageTypesAndDepths) {
    ExpectFixtures({
        {"mapped.tga", {Colour, 8, 8, None, 43}},
        {"mapped-rle.tga", {Colour, 8, 8, None, 43}},
        {"rgb24.tga", {Colour, 8, 24}},
        {"rgb24-rle.tga", {Colour, 8, 24}},
        {"grey.tga", {Grey, 8, 8}},
        {"grey-rle.tga", {Grey, 8, 8}},
        {"rgb15.tga", {Colour, 5, 15}},
        // gm widens 5 bits by repeating their top bits, one level off v * 255 / 31 rounded
        // at times; rgb15.tga holds tgatoppm to the rounded levels exactly.
        {"argb1555.tga", {Colour, 5, 16, Straight}, true, 1},
        {"argb1555-rle.tga", {Colour, 5, 16, Straight}, true, 1},
        {"rgba32-rle.tga", {Colour, 8, 32, Straight}},
    });
}

TEST(TgaPixels, ColourMapsOfEveryEntrySizeWithAFirstEntryIndex) {
    ExpectFixtures({
        {"map15.tga", {Colour, 8, 8, None, 207}},
        {"map16.tga", {Colour, 8, 8, Straight, 207}, false},
        {"map24.tga", {Colour, 8, 8, None, 207}},
        {"map32.tga", {Colour, 8, 8, Straight, 207}},
        {"map24-index16-rle.tga", {Colour, 16, 16, None, 207}},
    });
}

TEST(TgaPixels, AllFourOrigins) {
    ExpectFixtures({
        {"rgba32-bottom-left.tga", {Colour, 8, 32, Straight}},
        {"rgba32-bottom-right.tga", {Colour, 8, 32, Straight}},
        {"rgba32-top-left.tga", {Colour, 8, 32, Straight}},
        {"rgba32-top-right.tga", {Colour, 8, 32, Straight}},
    });
}

TEST(TgaPixels, FooterAttributeTypeDecidesWhatTheAlphaBitsMean) {
    ExpectFixtures({
        {"rgba32-attribute-none.tga", {Colour, 8, 32}},
        {"rgba32-attribute-alpha.tga", {Colour, 8, 32, Straight}},
        {"rgba32-premultiplied.tga", {Colour, 8, 32, Premultiplied}},
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
                            DefaultDecodeLimits, picture),
                  CodecStatus::Ok);
        EXPECT_EQ(picture.HasAlpha(), c.hasAlpha);
        EXPECT_EQ(picture.pixels->Data()[0], c.first);
        EXPECT_EQ(picture.pixels->Data()[1], c.second);
    }
}

// ---- What counts as TGA -------------------------------------------------------------------

TEST(TgaLayout, InconsistentHeadersAndMissingDataAreNotTga) {
    const Bytes twoPixels = {1, 2, 3, 4, 5, 6};
    const char* UnknownType = "tga: the image type is none TGA knows";
    const char* MapDoesNotFit = "tga: the colour map fields do not fit the image type";
    const char* BadPixels = "tga: a side is 0 or the pixel size does not fit the image type";
    const char* Unfinished = "tga: the run-length packets do not complete the picture";
    testing::ExpectEachRefused(
        DecodeTga,
        {
            {"image type 4", Tga({.imageType = 4}, twoPixels), UnknownType},
            {"image type 12", Tga({.imageType = 12}, twoPixels), UnknownType},
            {"colour-map type 2", Tga({.mapType = 2}, twoPixels), MapDoesNotFit},
            {"colour-mapped without a map", Tga({.imageType = 1, .pixelBits = 8}, {0, 0}),
             MapDoesNotFit},
            {"map entries of 17 bits",
             Tga({.mapType = 1, .imageType = 1, .entryCount = 1, .entryBits = 17, .pixelBits = 8},
                 {0, 0, 0, 0, 0}),
             MapDoesNotFit},
            {"map fields without a map", Tga({.entryCount = 5}, twoPixels), MapDoesNotFit},
            {"24-bit grey", Tga({.imageType = 3}, twoPixels), BadPixels},
            {"12 bits a pixel", Tga({.pixelBits = 12}, twoPixels), BadPixels},
            {"width 0", Tga({.width = 0}, twoPixels), BadPixels},
            {"interleaved rows", Tga({.descriptor = 0x40}, twoPixels),
             "tga: the descriptor asks for interleaving or over 8 attribute bits"},
            {"one pixel byte short", Tga({}, {1, 2, 3, 4, 5}),
             "tga: the pixels run past the end of the file"},
            {"map longer than the file",
             Tga({.mapType = 1, .imageType = 1, .entryCount = 300, .entryBits = 24, .pixelBits = 8},
                 {0, 0}),
             "tga: the colour map runs past the end of the file"},
            {"run-length packet past the last pixel", Tga({.imageType = 10}, {0x82, 1, 2, 3}),
             Unfinished},
            {"run-length packets end with the file", Tga({.imageType = 10}, {0x80, 1, 2, 3}),
             Unfinished},
            {"header only", Tga({}, {}), "tga: the pixels run past the end of the file"},
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
            EXPECT_EQ(DecodeTga(ReadFileBytes(entry.path()), DefaultDecodeLimits, picture),
                      CodecStatus::NotMyFormat)
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
    const char* Outside = "tga: a pixel's index is outside the colour map";
    testing::ExpectEachRefused(DecodeTga,
                               {
                                   {"below the first entry", withIndices({10, 9}, 1), Outside},
                                   {"past the last entry", withIndices({11, 12}, 1), Outside},
                                   {"in a run-length packet", withIndices({0x81, 12}, 9), Outside},
                               },
                               CodecStatus::Corrupt);
    DecodedPicture picture;
    ASSERT_EQ(DecodeTga(withIndices({10, 11}, 1), DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(picture.pixels->Data()[1], 0xFF060504u);
}

}  // namespace
}  // namespace pic2pnm::codecs

// HEIF and AVIF through libheif: which files are ours, what libheif's errors mean, the
// pictures against GraphicsMagick's pixels (it reads them through the same library), and
// damaged, cut and oversized files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/avif/avif.h"
#include "codecs/heif/heif.h"
#include "codecs/heif/heif_brands.h"
#include "codecs/heif/heif_item_checks.h"
#include "codecs/heif/heif_status.h"
#include "helpers/codec_checks.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::AppendBe32;
using testing::ReadFileBytes;
using testing::TestData;

// A file type box with the given major and compatible brands, then `tail`.
Bytes Ftyp(const char* major, const std::vector<const char*>& compatible, Bytes tail = {}) {
    Bytes box;
    AppendBe32(box, static_cast<uint32_t>(16 + 4 * compatible.size()));
    for (const char* text : {"ftyp", major}) box.insert(box.end(), text, text + 4);
    AppendBe32(box, 0);
    for (const char* brand : compatible) box.insert(box.end(), brand, brand + 4);
    box.insert(box.end(), tail.begin(), tail.end());
    return box;
}

// ---- Which files are HEIF and which AVIF ---------------------------------------------------

TEST(HeifBrands, KindFollowsTheBrands) {
    struct Case {
        const char* name;
        Bytes file;
        HeifKind expected;
    };
    Bytes longerThanFile = Ftyp("heic", {"mif1"});
    longerThanFile[3] = 40;
    Bytes notFtyp = Ftyp("heic", {"mif1"});
    notFtyp[4] = 'm';
    const Case cases[] = {
        {"HEIC phone picture", Ftyp("heic", {"mif1", "heic"}), HeifKind::Heif},
        {"10-bit HEVC", Ftyp("heix", {"mif1"}), HeifKind::Heif},
        {"image file of no codec brand", Ftyp("mif1", {"mif1", "miaf"}), HeifKind::Heif},
        {"AVIF", Ftyp("avif", {"avif", "mif1", "miaf", "MA1B"}), HeifKind::Avif},
        {"AVIF sequence", Ftyp("avis", {"avis", "msf1"}), HeifKind::Avif},
        {"mif1 naming AV1 only", Ftyp("mif1", {"mif1", "avif"}), HeifKind::Avif},
        {"mif1 naming AV1 and HEVC", Ftyp("mif1", {"avif", "heic"}), HeifKind::Heif},
        {"MP4 video", Ftyp("isom", {"isom", "iso2", "mp41"}), HeifKind::None},
        {"QuickTime", Ftyp("qt  ", {"qt  "}), HeifKind::None},
        {"box longer than the file", longerThanFile, HeifKind::None},
        {"other box first", notFtyp, HeifKind::None},
        {"box cut before its brands", testing::Prefix(Ftyp("heic", {}), 15), HeifKind::None},
        {"empty", {}, HeifKind::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HeifKindOf(FileView(c.file.data(), c.file.size())), c.expected) << c.name;
    }
}

TEST(HeifBrands, OtherFormatsAreLeftToOtherDecoders) {
    testing::ExpectOtherFormatsLeftAlone(DecodeHeif,
                                         {"png/rgb8.png", "avif/lossless.avif", "jxl/grey.jxl"});
    testing::ExpectOtherFormatsLeftAlone(DecodeAvif,
                                         {"webp/lossy.webp", "heif/lossy.heic", "jxl/grey.jxl"});
}

// ---- What libheif's errors mean ------------------------------------------------------------

TEST(HeifStatus, OnlyAMissingCodecIsUnsupported) {
    struct Case {
        heif_error_code code;
        heif_suberror_code subcode;
        CodecStatus expected;
    };
    const Case cases[] = {
        {heif_error_Ok, heif_suberror_Unspecified, CodecStatus::Ok},
        {heif_error_Unsupported_feature, heif_suberror_Unsupported_codec, CodecStatus::Unsupported},
        {heif_error_Unsupported_feature, heif_suberror_Unsupported_image_type,
         CodecStatus::Corrupt},
        {heif_error_Invalid_input, heif_suberror_End_of_data, CodecStatus::Corrupt},
        {heif_error_Invalid_input, heif_suberror_Missing_grid_images, CodecStatus::Corrupt},
        {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, CodecStatus::Corrupt},
        {heif_error_Memory_allocation_error, heif_suberror_Security_limit_exceeded,
         CodecStatus::TooLarge},
        {heif_error_Invalid_input, heif_suberror_Security_limit_exceeded, CodecStatus::TooLarge},
        {heif_error_Memory_allocation_error, heif_suberror_Unspecified, CodecStatus::OutOfMemory},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResultOfHeifError(heif_error{c.code, c.subcode, ""}).status, c.expected)
            << c.code << "/" << c.subcode;
    }
}

// ---- Pictures against GraphicsMagick -------------------------------------------------------

struct FixtureCase {
    const char* file;
    bool hasAlpha;
    int tolerance;  // 0 for lossless pictures; for lossy ones the largest difference seen
};

void ExpectMatchesReference(const FixtureCase& c) {
    const bool avif = std::string_view(c.file).starts_with("avif/");
    testing::ExpectMatchesSiblingReference(avif ? DecodeAvif : DecodeHeif, c.file, c.hasAlpha,
                                           c.tolerance, avif ? LooksLikeAvif : LooksLikeHeif);
}

TEST(HeifPixels, Heic) {
    const FixtureCase cases[] = {
        {"heif/lossless.heic", false, 0},
        {"heif/lossy.heic", false, 0},
        {"heif/lossy-alpha.heic", true, 0},
        {"heif/grey.heic", false, 0},
        // GraphicsMagick drops the low bits of deeper samples; we round.
        {"heif/deep10.heic", false, 1},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

TEST(HeifPixels, Avif) {
    const FixtureCase cases[] = {
        {"avif/lossless.avif", false, 0},
        {"avif/lossless-alpha.avif", true, 0},
        {"avif/lossy.avif", false, 0},
        {"avif/grey.avif", false, 0},
        {"avif/deep12.avif", false, 1},  // rounded, where GraphicsMagick drops the low bits
        {"avif/grid.avif", false, 0},    // four tiles of 64 x 64
        {"avif/rotated-mirrored.avif", false, 0},  // 33 x 20 shown as 20 x 33
        {"avif/cropped.avif", false, 0},           // 20 x 14 of 33 x 20
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c);
}

// ---- Broken and oversized files ------------------------------------------------------------

// The offset of the first box of this type, at its size field.
size_t FindBox(const Bytes& file, const char* type) {
    const auto at = std::search(file.begin(), file.end(), type, type + 4);
    EXPECT_NE(at, file.end()) << type;
    return static_cast<size_t>(at - file.begin()) - 4;
}

uint32_t GetBe32(const Bytes& bytes, size_t at) {
    uint32_t value = 0;
    for (int k = 0; k < 4; ++k) value = value << 8 | bytes.at(at + static_cast<size_t>(k));
    return value;
}

void SetBe32(Bytes& bytes, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        bytes.at(at + static_cast<size_t>(k)) = static_cast<uint8_t>(value >> (24 - 8 * k));
}

TEST(HeifBroken, EveryCutIsRefused) {
    for (const char* name : {"heif/lossy.heic", "avif/lossless-alpha.avif"}) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadFileBytes(TestData(name));
        const bool avif = std::string(name).rfind("avif/", 0) == 0;
        const size_t ftypSize = whole.at(3);
        testing::ExpectEveryPrefixStatus(avif ? DecodeAvif : DecodeHeif, whole, [&](size_t length) {
            if (length < ftypSize) return CodecStatus::NotMyFormat;
            return length < whole.size() ? CodecStatus::Corrupt : CodecStatus::Ok;
        });
    }
}

// Single pictures are damaged and capped by the conformance test; a grid's tiles here.
TEST(HeifBroken, DamagedGridGivesAStatus) {
    testing::ExpectDamagedBytesGiveAStatus(DecodeAvif, ReadFileBytes(TestData("avif/grid.avif")),
                                           16, 200);
}

TEST(HeifBroken, DeclaredSizesBeyondTheLimitsAreTooLarge) {
    const Bytes lossless = ReadFileBytes(TestData("avif/lossless.avif"));
    struct Case {
        const char* name;
        uint32_t width;
        uint32_t height;
    };
    const Case cases[] = {
        {"a side beyond libheif's limit", 40000, 21},
        {"both sides within it, the area beyond ours", 30000, 30000},
        {"largest 32-bit sides", 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        Bytes file = lossless;
        const size_t ispe = FindBox(file, "ispe");  // size, type, version and flags, sides
        SetBe32(file, ispe + 12, c.width);
        SetBe32(file, ispe + 16, c.height);
        DecodedPicture picture;
        EXPECT_EQ(DecodeAvif(FileView(file.data(), file.size()), DefaultDecodeLimits, picture),
                  CodecStatus::TooLarge)
            << c.name;
        EXPECT_EQ(picture.pixels, nullptr) << c.name;
    }
}

// The committed four-tile AVIF, and where its grid's description starts: version 0, flags 0,
// rows - 1, columns - 1, then the 16-bit size of the whole picture. 0 when it is not found.
struct GridFile {
    Bytes bytes = ReadFileBytes(TestData("avif/grid.avif"));
    ptrdiff_t description = FindDescription(bytes);

    static ptrdiff_t FindDescription(const Bytes& file) {
        const uint8_t description[] = {0, 0, 1, 1, 0, 128, 0, 128};
        const auto found =
            std::search(file.begin(), file.end(), std::begin(description), std::end(description));
        return found == file.end() ? 0 : found - file.begin();
    }
    // The file with `changed` written from `offset` within the description.
    Bytes Edited(ptrdiff_t offset, const std::vector<uint8_t>& changed) const {
        Bytes file = bytes;
        std::copy(changed.begin(), changed.end(), file.begin() + description + offset);
        return file;
    }
};

TEST(HeifBroken, DamagedGridIsCorrupt) {
    const GridFile grid;
    ASSERT_NE(grid.description, 0);
    struct Case {
        const char* name;
        size_t offset;  // in the description
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"three rows: tiles missing", 2, {2}},
        {"three columns: tiles missing", 3, {2}},
        // Found by fuzzing: libheif cleared 28009 x 28005 pixels for seconds before it found
        // that no tile fits, in a file whose picture is 128 x 128.
        {"size beyond the picture's", 4, {0x6D, 0x69, 0x6D, 0x65}},
    };
    for (const Case& c : cases) {
        Bytes file = grid.Edited(static_cast<ptrdiff_t>(c.offset), c.bytes);
        DecodedPicture picture;
        EXPECT_EQ(DecodeAvif(FileView(file.data(), file.size()), DefaultDecodeLimits, picture),
                  CodecStatus::Corrupt)
            << c.name;
        EXPECT_EQ(picture.pixels, nullptr) << c.name;
    }
}

// The offset of the first box of this type inside `file`, at its size field, and the file with
// that box written twice: the boxes around it (given outermost first) grow by its size.
Bytes WithBoxTwice(const Bytes& file, const char* type, const std::vector<const char*>& around) {
    Bytes twice = file;
    const size_t at = FindBox(file, type);
    const uint32_t size = GetBe32(file, at);
    twice.insert(twice.begin() + static_cast<ptrdiff_t>(at + size),
                 file.begin() + static_cast<ptrdiff_t>(at),
                 file.begin() + static_cast<ptrdiff_t>(at + size));
    for (const char* outer : around) {
        const size_t outerAt = FindBox(twice, outer);
        SetBe32(twice, outerAt, GetBe32(twice, outerAt) + size);
    }
    return twice;
}

// The item structure is read before libheif sees the file, and what libheif 1.15 would read
// differently from us or trust blindly is refused. The committed grid is item 1, 128 x 128,
// its tiles items 2 to 5 of 64 x 64 each.
TEST(HeifItemChecks, WhatLibheifWouldTrustIsRefused) {
    const GridFile grid;
    ASSERT_NE(grid.description, 0);
    const uint8_t tiles[] = {'d', 'i', 'm', 'g', 0, 1, 0, 4, 0, 2, 0, 3, 0, 4, 0, 5};
    const auto found =
        std::search(grid.bytes.begin(), grid.bytes.end(), std::begin(tiles), std::end(tiles));
    ASSERT_NE(found, grid.bytes.end());
    const auto withTile = [&](uint8_t tile) {
        Bytes file = grid.bytes;
        file[static_cast<size_t>(found - grid.bytes.begin()) + 15] = tile;
        return file;
    };
    const auto cut = [&](ptrdiff_t bytes) {
        return Bytes(grid.bytes.begin(), grid.bytes.begin() + bytes);
    };
    Bytes tileNoPicture = grid.bytes;  // the first tile's item type "av01" made "Exif"
    const char av01[] = {'a', 'v', '0', '1'};
    const auto tileType =
        std::search(tileNoPicture.begin() + static_cast<ptrdiff_t>(FindBox(tileNoPicture, "infe")),
                    tileNoPicture.end(), std::begin(av01), std::end(av01));
    ASSERT_NE(tileType, tileNoPicture.end());
    std::copy_n("Exif", 4, tileType);
    const struct {
        const char* name;
        Bytes file;
        const char* fault;  // why the checks refuse it; null when they let it through
    } cases[] = {
        {"a tile that is no picture", tileNoPicture,
         "heif: a reference to a picture names an item that is none"},
        {"grid as written", grid.bytes, nullptr},
        {"HEIC of one tile larger than its picture", ReadFileBytes(TestData("heif/lossy.heic")),
         nullptr},
        {"AVIF with alpha", ReadFileBytes(TestData("avif/lossless-alpha.avif")), nullptr},
        {"grid one pixel narrower than its tiles", grid.Edited(4, {0, 127}), nullptr},
        {"tile named twice", withTile(4), nullptr},
        {"tile not listed", withTile(0x7F),
         "heif: a reference to its own item or one that is not there"},
        {"grid naming itself", withTile(1),
         "heif: a reference to its own item or one that is not there"},
        {"three rows: tiles missing", grid.Edited(2, {2}),
         "heif: a grid's tiles are not as many as it says, or too many"},
        {"size beyond the stated picture", grid.Edited(4, {0x6D, 0x69, 0x6D, 0x65}),
         "heif: a grid is empty or larger than its stated size"},
        {"a column of tiles wholly outside", grid.Edited(4, {0, 64}),
         "heif: a grid's tiles do not cover the picture, or overhang it"},
        {"32-bit sizes flagged in 8 bytes of data", grid.Edited(1, {1}),
         "heif: a grid's description is cut short"},
        {"iloc twice", WithBoxTwice(grid.bytes, "iloc", {"meta"}), "heif: an item box comes twice"},
        {"iinf twice", WithBoxTwice(grid.bytes, "iinf", {"meta"}), "heif: an item box comes twice"},
        {"ipco twice", WithBoxTwice(grid.bytes, "ipco", {"meta", "iprp"}),
         "heif: an item box comes twice"},
        {"meta twice", WithBoxTwice(grid.bytes, "meta", {}), "heif: the meta box comes twice"},
        {"an item listed twice", WithBoxTwice(grid.bytes, "infe", {"meta", "iinf"}),
         "heif: an item is listed twice"},
        {"cut inside the item boxes", cut(grid.description - 40),
         "heif: the item boxes are cut short or overrun their box"},
        {"cut before the boxes", cut(40),
         "heif: the item boxes are cut short or overrun their box"},
        {"not HEIF", ReadFileBytes(TestData("bmp/im_bmp3_24bpp.bmp")),
         "heif: the item boxes are cut short or overrun their box"},
        {"empty", {}, "heif: no meta box"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(
            CheckHeifItems(FileView(c.file.data(), c.file.size()), DefaultDecodeLimits.heif).reason,
            c.fault)
            << c.name;
    }
}

// The HEIF and AVIF files of the resource corpus (tools/make-resource-corpus.py), each refused
// for its own reason or let through to libheif.
TEST(HeifItemChecks, ResourceFilesAreJudgedForTheirReason) {
    const struct {
        const char* file;   // in tests/resource, once .heic and once .avif
        const char* fault;  // why the checks refuse it; null when they let it through
    } cases[] = {
        {"grid-32767-square-idat-twice", "heif: an item box comes twice"},
        {"grid-32767-square-iloc-twice", "heif: an item box comes twice"},
        {"grid-32767-square-iinf-twice", "heif: an item box comes twice"},
        {"5000-nested-grids", "heif: more items than the limits allow"},
        {"three-nested-grids", "heif: derived pictures stand deeper than the limits allow"},
        {"two-nested-grids", nullptr},
        {"2048-unused-grids", "heif: more items than the limits allow"},
        {"2047-unused-grids", nullptr},
        {"overlay-negative-offset", "heif: an overlay input at a negative offset"},
        {"grid-tiles-of-two-sizes", "heif: a grid's tiles differ in size"},
        {"grid-4096-square-under-ispe-64", "heif: a grid is empty or larger than its stated size"},
        {"grid-32x32-tiles-of-64", nullptr},
        {"grid-33x32-tiles-of-64", "heif: a grid's tiles are not as many as it says, or too many"},
        {"grid-4096x3072-tiles-of-512", nullptr},
    };
    for (const auto& c : cases) {
        for (const std::string suffix : {".heic", ".avif"}) {
            const std::string name = (suffix == ".heic" ? "heic-" : "avif-") + std::string(c.file);
            const Bytes file = ReadFileBytes(TestData("../resource/" + name + suffix));
            EXPECT_STREQ(
                CheckHeifItems(FileView(file.data(), file.size()), DefaultDecodeLimits.heif).reason,
                c.fault)
                << name;
        }
    }
    for (const char* name :
         {"avif-grid-140x140-tiles-of-16.avif", "heic-grid-140x140-tiles-of-64.heic"}) {
        const Bytes file = ReadFileBytes(TestData(std::string("../resource/") + name));
        EXPECT_STREQ(
            CheckHeifItems(FileView(file.data(), file.size()), DefaultDecodeLimits.heif).reason,
            "heif: more items than the limits allow")
            << name;
    }
}

TEST(HeifBroken, PixelCountCapIsHonouredForAGrid) {
    testing::ExpectPixelCountCapHonoured(DecodeAvif, ReadFileBytes(TestData("avif/grid.avif")),
                                         128 * 128);
}

}  // namespace
}  // namespace pic2pnm::codecs

// What every decoder in the registry must do with real files, one test per concern over all
// rows: its fixtures decode, other formats are left to other rows, files cut short are
// Corrupt, the pixel-count cap is honoured, damaged bytes give a status, and every prefix of a
// file gets the status its length calls for. A row's fixtures are in Fixtures(); the pixels
// against references and the format's own hand-made files stay in its own test.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "codecs/common/codec_registry.h"
#include "support/codec_checks.h"
#include "support/reference_image.h"
#include "support/test_files.h"

namespace pic2pnm::codecs {
namespace {

using testing::Bytes;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

// Bytes kept of a fixture: a count, or half the file.
constexpr size_t Half = SIZE_MAX;

struct CutShort {
    const char* file;
    size_t keep;
};

struct CapCase {
    const char* file;
    const char* reference;  // a picture of the same size, read by the reference reader
};

// Where a prefix of a whole file stops being NotMyFormat and where it becomes a picture;
// between the two it is Corrupt.
struct PrefixRule {
    size_t signatureLength;
    size_t (*decodesFrom)(const Bytes& whole);
};

struct RowFixtures {
    std::vector<const char*> decodes = {};  // Ok, and NotMyFormat to every other row
    std::vector<const char*> foreign = {};  // more files this row leaves alone
    std::vector<CutShort> cutShort = {};    // Corrupt
    std::vector<CapCase> capped = {};
    std::vector<const char*> damaged = {};
    uint32_t damageSeed = 12345;
    int damageTrials = 0;
    std::vector<const char*> everyPrefix = {};
    PrefixRule prefixRule = {0, nullptr};
};

size_t WholeButTheTrailer(const Bytes& whole) {
    EXPECT_EQ(whole.back(), 0x3B) << "the file does not end in its trailer";
    return whole.size() - 1;
}

size_t WholeFile(const Bytes& whole) {
    return whole.size();
}

// A JPEG is a picture (the rest grey) once the headers up to its first scan are all there.
size_t FirstScanData(const Bytes& whole) {
    for (size_t i = 0; i + 3 < whole.size(); ++i)
        if (whole[i] == 0xFF && whole[i + 1] == 0xDA)
            return i + 2 + ((size_t{whole[i + 2]} << 8) | whole[i + 3]);
    ADD_FAILURE() << "no scan header";
    return whole.size();
}

// One entry per registry row; a new row needs one here.
const std::map<std::string, RowFixtures, std::less<>>& Fixtures() {
    static const std::map<std::string, RowFixtures, std::less<>> fixtures = {
        {"png",
         {.decodes = {"png/rgb8.png", "png/grey8.png", "png/rgba8.png"},
          .foreign = {"png/rgb8.ppm"},
          .cutShort = {{"png/rgb8.png", 8}, {"png/rgb8.png", 20}},
          .capped = {{"png/rgb8.png", "png/rgb8.ppm"}}}},
        {"tiff",
         {.decodes = {"tiff/rgb8-none.tif", "tiff/rgb8-lzw.tif", "tiff/rgb8-zip.tif"},
          .foreign = {"tiff/rgb8-none.ppm"},
          .cutShort = {{"tiff/rgb8-lzw.tif", Half}},
          .capped = {{"tiff/rgb8-zip.tif", "tiff/rgb8-zip.ppm"}}}},
        {"webp",
         {.decodes = {"webp/lossy.webp", "webp/lossless.webp", "webp/lossless-alpha.webp",
                      "webp/animated.webp"},
          .foreign = {"webp/lossy.ppm"},
          .cutShort = {{"webp/lossy.webp", 12},
                       {"webp/lossy.webp", 26},
                       {"webp/lossy.webp", Half},
                       {"webp/lossless-alpha.webp", Half},
                       {"webp/animated-offset.webp", 100}},
          .capped = {{"webp/lossy.webp", "webp/lossy.ppm"},
                     {"webp/animated.webp", "webp/animated.ppm"}}}},
        {"bmp",
         {.decodes = {"bmp/nb_win_24bpp.bmp", "bmp/im_bmp3_8bpp.bmp", "bmp/im_rle8.bmp"},
          .capped = {{"bmp/nb_win_24bpp.bmp", "bmp/nb_win_24bpp.ppm"}},
          .damaged = {"bmp/nb_win_24bpp.bmp", "bmp/im_rle8.bmp"},
          .damageTrials = 300}},
        {"gif",
         {.decodes = {"gif/plain.gif", "gif/interlaced.gif", "gif/animated.gif"},
          .capped = {{"gif/plain.gif", "gif/plain.ppm"}},
          .damaged = {"gif/plain.gif", "gif/interlaced.gif", "gif/animated.gif"},
          .damageSeed = 12345,
          .damageTrials = 400,
          .everyPrefix = {"gif/plain.gif", "gif/interlaced.gif", "gif/transparent.gif",
                          "gif/offset.gif", "gif/local-table.gif"},
          .prefixRule = {6, WholeButTheTrailer}}},
        {"jpeg",
         {.decodes = {"jpeg/baseline420.jpg", "jpeg/progressive.jpg", "jpeg/cmyk.jpg"},
          .capped = {{"jpeg/baseline420.jpg", "jpeg/baseline420.ppm"}},
          .damaged = {"jpeg/baseline420.jpg", "jpeg/progressive.jpg", "jpeg/cmyk.jpg"},
          .damageSeed = 54321,
          .damageTrials = 300,
          .everyPrefix = {"jpeg/baseline420.jpg", "jpeg/progressive.jpg", "jpeg/ycck.jpg"},
          .prefixRule = {3, FirstScanData}}},
        {"icon",
         {.decodes = {"icon/rgb24.ico", "icon/mono.cur"},
          .capped = {{"icon/rgb24.ico", "icon/rgb24.pam"}},
          .damaged = {"icon/rgb24.ico"},
          .damageTrials = 300}},
        {"pnm",
         {.decodes = {"pnm/raw.ppm", "pnm/plain.pgm", "pnm/rgb-alpha.pam"},
          .cutShort = {{"pnm/raw.ppm", Half}},
          .capped = {{"pnm/raw.ppm", "pnm/raw.ppm.ref.ppm"}},
          .damaged = {"pnm/raw.ppm", "pnm/plain.pgm", "pnm/rgb-alpha.pam"},
          .damageTrials = 300,
          .everyPrefix = {"pnm/raw.ppm", "pnm/rgb-alpha.pam"},
          .prefixRule = {3, WholeFile}}},
        {"qoi",
         {.decodes = {"qoi/rgb.qoi", "qoi/rgba.qoi"},
          .cutShort = {{"qoi/rgb.qoi", Half}},
          .capped = {{"qoi/rgb.qoi", "qoi/rgb.qoi.ref.ppm"}},
          .damaged = {"qoi/rgb.qoi", "qoi/rgba.qoi"},
          .damageTrials = 300,
          .everyPrefix = {"qoi/rgb.qoi", "qoi/rgba.qoi"},
          .prefixRule = {4, WholeFile}}},
        {"heif",
         {.decodes = {"heif/lossy.heic", "heif/lossy-alpha.heic"},
          .cutShort = {{"heif/lossy.heic", Half}},
          .capped = {{"heif/lossy.heic", "heif/lossy.ppm"}},
          .damaged = {"heif/lossy.heic"},
          .damageTrials = 100}},
        {"avif",
         {.decodes = {"avif/lossy.avif", "avif/lossless-alpha.avif"},
          .cutShort = {{"avif/lossy.avif", Half}},
          .capped = {{"avif/lossy.avif", "avif/lossy.ppm"}},
          .damaged = {"avif/lossy.avif"},
          .damageTrials = 100}},
        {"jxl",
         {.decodes = {"jxl/lossless.jxl", "jxl/lossy.jxl"},
          .cutShort = {{"jxl/lossless.jxl", Half}},
          .capped = {{"jxl/lossless.jxl", "jxl/lossless.ppm"}},
          .damaged = {"jxl/lossless.jxl"},
          .damageTrials = 100}},
        // A file is a TGA when it decodes as one, so one cut short is another row's to try.
        {"tga",
         {.decodes = {"tga/rgb24.tga", "tga/mapped-rle.tga", "tga/argb1555.tga"},
          .capped = {{"tga/rgb24.tga", "tga/rgb24.tga.ref.ppm"}},
          .damaged = {"tga/rgb24.tga", "tga/mapped-rle.tga"},
          .damageTrials = 300}},
    };
    return fixtures;
}

Bytes Fixture(const char* name) {
    return ReadFileBytes(TestData(name));
}

class CodecConformanceTest : public ::testing::TestWithParam<const CodecEntry*> {
  protected:
    const CodecEntry& Row() const { return *GetParam(); }
    const RowFixtures& Table() const {
        const auto found = Fixtures().find(Row().name);
        if (found == Fixtures().end()) {
            ADD_FAILURE() << "no fixtures for this row in Fixtures()";
            static const RowFixtures none;
            return none;
        }
        return found->second;
    }
};

TEST_P(CodecConformanceTest, FixturesDecode) {
    ASSERT_FALSE(Table().decodes.empty());
    for (const char* name : Table().decodes) {
        DecodedPicture picture;
        EXPECT_TRUE(Row().looksLike(Fixture(name))) << name;
        ASSERT_EQ(Row().decode(Fixture(name), DefaultDecodeLimits, picture), CodecStatus::Ok)
            << name;
        ASSERT_NE(picture.pixels, nullptr) << name;
        EXPECT_EQ(picture.pixels->Width(), picture.width) << name;
        EXPECT_EQ(picture.pixels->Height(), picture.height) << name;
    }
}

// Every other row's fixtures, the row's own foreign files and an empty file are NotMyFormat,
// so that another decoder gets its turn.
TEST_P(CodecConformanceTest, OtherFormatsAreLeftAlone) {
    std::vector<const char*> names = Table().foreign;
    for (const auto& [rowName, fixtures] : Fixtures())
        if (rowName != Row().name)
            names.insert(names.end(), fixtures.decodes.begin(), fixtures.decodes.end());
    testing::ExpectOtherFormatsLeftAlone(Row().decode, names);
    testing::ExpectEachRefused(Row().decode, {{"empty", {}, nullptr}}, CodecStatus::NotMyFormat);
    EXPECT_FALSE(Row().looksLike({})) << "empty";
}

TEST_P(CodecConformanceTest, FilesCutShortAreCorrupt) {
    std::vector<testing::NamedBytes> files;
    for (const CutShort& cut : Table().cutShort) {
        const Bytes whole = Fixture(cut.file);
        const size_t keep = cut.keep == Half ? whole.size() / 2 : cut.keep;
        ASSERT_LT(keep, whole.size()) << cut.file;
        files.push_back({cut.file, testing::Prefix(whole, keep), nullptr});
    }
    testing::ExpectEachRefused(Row().decode, files, CodecStatus::Corrupt);
}

TEST_P(CodecConformanceTest, PixelCountCapIsHonoured) {
    ASSERT_FALSE(Table().capped.empty());
    for (const CapCase& c : Table().capped) {
        SCOPED_TRACE(c.file);
        const testing::ReferenceImage reference = ReadReferenceImage(TestData(c.reference));
        testing::ExpectPixelCountCapHonoured(Row().decode, Fixture(c.file),
                                             int64_t{reference.width} * reference.height);
    }
}

// Damaged bytes anywhere in real files: whatever the decoder makes of them, a status and,
// when Ok, a whole picture (the sanitizer build checks every access on the way).
TEST_P(CodecConformanceTest, DamagedBytesGiveAStatusNeverACrash) {
    for (const char* name : Table().damaged) {
        SCOPED_TRACE(name);
        testing::ExpectDamagedBytesGiveAStatus(Row().decode, Fixture(name), Table().damageSeed,
                                               Table().damageTrials);
    }
}

// Every prefix of a real file: too short to be the format, cut short (Corrupt), or enough
// for a picture.
TEST_P(CodecConformanceTest, EveryPrefixGetsTheStatusItsLengthCallsFor) {
    const PrefixRule& rule = Table().prefixRule;
    for (const char* name : Table().everyPrefix) {
        SCOPED_TRACE(name);
        const Bytes whole = Fixture(name);
        const size_t decodesFrom = rule.decodesFrom(whole);
        testing::ExpectEveryPrefixStatus(Row().decode, whole, [&](size_t length) {
            return length < rule.signatureLength ? CodecStatus::NotMyFormat
                   : length < decodesFrom        ? CodecStatus::Corrupt
                                                 : CodecStatus::Ok;
        });
    }
}

std::vector<const CodecEntry*> Rows() {
    std::vector<const CodecEntry*> rows;
    for (const CodecEntry& row : CodecRegistry()) rows.push_back(&row);
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Registry, CodecConformanceTest, ::testing::ValuesIn(Rows()),
                         [](const auto& row) { return std::string(row.param->name); });

}  // namespace
}  // namespace pic2pnm::codecs

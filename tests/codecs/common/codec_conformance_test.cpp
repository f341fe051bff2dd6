// What every decoder in the registry must do with real files, one test per concern over all
// rows: its fixtures decode, other formats are left to other rows, files cut short are
// Corrupt, the pixel-count cap is honoured, damaged bytes give a status, and every prefix of a
// file gets the status its length calls for. A row's cases are in tests/codecs/<row>/, beside
// its own test, which keeps the pixels against references and the format's hand-made files.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "codecs/common/codec_registry.h"
#include "helpers/codec_cases.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using testing::Bytes;
using testing::CapCase;
using testing::CodecCases;
using testing::CodecCasesFile;
using testing::CutShort;
using testing::Half;
using testing::PrefixRule;
using testing::ReadCodecCases;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

// Every row's cases, read once.
const std::map<std::string, CodecCases, std::less<>>& Fixtures() {
    static const std::map<std::string, CodecCases, std::less<>> fixtures = [] {
        std::map<std::string, CodecCases, std::less<>> all;
        for (const CodecEntry& row : CodecRegistry())
            all[std::string(row.name)] = ReadCodecCases(row.name);
        return all;
    }();
    return fixtures;
}

Bytes Fixture(const std::string& name) {
    return ReadFileBytes(TestData(name));
}

class CodecConformanceTest : public ::testing::TestWithParam<const CodecEntry*> {
  protected:
    const CodecEntry& Row() const { return *GetParam(); }
    const CodecCases& Table() const { return Fixtures().find(Row().name)->second; }
    // A check with no data for this row is skipped with the reason its cases give; without one
    // it fails, so that no instance passes by looping over nothing.
    bool Skipped(const char* check, bool hasData) const {
        const auto why = Table().skipped.find(check);
        if (hasData && why != Table().skipped.end())
            ADD_FAILURE() << "\"" << check << "\" has data and a reason to skip";
        if (hasData) return false;
        if (why == Table().skipped.end())
            ADD_FAILURE() << "no \"" << check << "\" case, nor \"skip " << check << " WHY\"";
        return true;
    }
};

TEST_P(CodecConformanceTest, CasesAreUnderstood) {
    EXPECT_EQ(Table().problems, std::vector<std::string>{}) << CodecCasesFile(Row().name);
}

TEST_P(CodecConformanceTest, FixturesDecode) {
    ASSERT_FALSE(Table().decodes.empty());
    for (const std::string& name : Table().decodes) {
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
    std::vector<std::string> files = Table().foreign;
    for (const auto& [rowName, fixtures] : Fixtures())
        if (rowName != Row().name)
            files.insert(files.end(), fixtures.decodes.begin(), fixtures.decodes.end());
    std::vector<const char*> names;
    for (const std::string& file : files) names.push_back(file.c_str());
    testing::ExpectOtherFormatsLeftAlone(Row().decode, names);
    testing::ExpectEachRefused(Row().decode, {{"empty", {}, nullptr}}, CodecStatus::NotMyFormat);
    EXPECT_FALSE(Row().looksLike({})) << "empty";
}

TEST_P(CodecConformanceTest, FilesCutShortAreCorrupt) {
    if (Skipped("cut", !Table().cutShort.empty())) GTEST_SKIP() << Table().skipped.at("cut");
    std::vector<testing::NamedBytes> files;
    for (const CutShort& cut : Table().cutShort) {
        const Bytes whole = Fixture(cut.file);
        const size_t keep = cut.keep == Half ? whole.size() / 2 : cut.keep;
        ASSERT_LT(keep, whole.size()) << cut.file;
        files.push_back({cut.file.c_str(), testing::Prefix(whole, keep), nullptr});
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
    if (Skipped("damaged", !Table().damaged.empty())) GTEST_SKIP() << Table().skipped.at("damaged");
    ASSERT_GT(Table().damageTrials, 0) << "no \"damage SEED TRIALS\" line";
    for (const std::string& name : Table().damaged) {
        SCOPED_TRACE(name);
        testing::ExpectDamagedBytesGiveAStatus(Row().decode, Fixture(name), Table().damageSeed,
                                               Table().damageTrials);
    }
}

// Every prefix of a real file: too short to be the format, cut short (Corrupt), or enough
// for a picture.
TEST_P(CodecConformanceTest, EveryPrefixGetsTheStatusItsLengthCallsFor) {
    if (Skipped("prefix", !Table().everyPrefix.empty()))
        GTEST_SKIP() << Table().skipped.at("prefix");
    const PrefixRule& rule = Table().prefixRule;
    ASSERT_NE(rule.decodesFrom, nullptr) << "no \"prefix-rule SIGNATURE RULE\" line";
    for (const std::string& name : Table().everyPrefix) {
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

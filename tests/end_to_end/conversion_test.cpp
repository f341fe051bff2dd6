// Runs the program on a picture of every format and compares the output files byte for byte
// with the expected files (made once by tools/make-e2e-expected.sh and checked against
// another decoder by tools/check-e2e-against-reference.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "helpers/reference_image.h"
#include "helpers/run_program.h"
#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

const std::string Comment = "# Created by Pelorin - Picture to text picture 1.00.0001\n";

struct Conversion {
    std::string picture;
    std::string type;
};

std::string PrintName(const ::testing::TestParamInfo<Conversion>& info) {
    return TestNameOf(info.param.picture + "_" + info.param.type);
}

class ConversionTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(ConversionTest, OutputMatchesExpectedFileWithAndWithoutComment) {
    const Conversion& c = GetParam();
    const fs::path input = TestData("e2e") / c.picture;
    const std::string expected =
        ReadFileText(TestData("e2e") / "expected" / (c.picture + "." + c.type));
    TempDir dir;
    const fs::path plain = dir / "plain.out";
    ProgramRun run = RunProgram({c.type, "/NoComment", input.string(), plain.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output, "Picture converted: " + plain.string() + "\n");
    EXPECT_EQ(ReadFileText(plain), expected);

    // The same conversion with the comment line: it stands right after the magic line.
    const fs::path commented = dir / "commented.out";
    run = RunProgram({c.type, input.string(), commented.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(ReadFileText(commented), expected.substr(0, 3) + Comment + expected.substr(3));
}

// Every picture with expected files, each of its types: tests/data/e2e/expected/PICTURE.TYPE.
std::vector<Conversion> AllConversions() {
    std::vector<Conversion> all;
    for (const auto& entry : fs::directory_iterator(TestData("e2e") / "expected")) {
        const std::string name = entry.path().filename().string();
        const size_t dot = name.rfind('.');
        all.push_back({name.substr(0, dot), name.substr(dot + 1)});
    }
    std::sort(all.begin(), all.end(), [](const Conversion& a, const Conversion& b) {
        return std::tie(a.picture, a.type) < std::tie(b.picture, b.type);
    });
    return all;
}

// Each picture is expected as every type, and the list holds every format.
TEST(ConversionListTest, EveryPictureHasAllThreeTypes) {
    std::map<std::string, std::set<std::string>> types;
    for (const Conversion& c : AllConversions()) types[c.picture].insert(c.type);
    for (const auto& [picture, found] : types)
        EXPECT_EQ(found, (std::set<std::string>{"pbm", "pgm", "ppm"})) << picture;
    EXPECT_GE(types.size(), 20u);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, ConversionTest, ::testing::ValuesIn(AllConversions()),
                         PrintName);

// Our own output is a picture we read: converted again to its own type, it comes out byte
// for byte the same, comment line and all.
TEST_P(ConversionTest, OwnOutputReadBackGivesTheSameBytes) {
    const Conversion& c = GetParam();
    TempDir dir;
    const fs::path first = dir / ("first." + c.type);
    const fs::path second = dir / ("second." + c.type);
    ProgramRun run = RunProgram({c.type, (TestData("e2e") / c.picture).string(), first.string()});
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    run = RunProgram({c.type, first.string(), second.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(ReadFileText(second), ReadFileText(first));
}

// HEIF and AVIF in the layouts writers differ in (tests/data/make-heif-variant-fixtures.py):
// rotated, mirrored and cropped with the transformations listed before or after the stated
// size, straight and premultiplied alpha. Each converts to what heif-convert, libheif's own
// tool, shows of it over black.
std::vector<std::string> HeifVariants() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(TestData("heif-variants"))) {
        const std::string suffix = entry.path().extension().string();
        if (suffix == ".heic" || suffix == ".avif") names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class HeifVariantTest : public ::testing::TestWithParam<std::string> {};

TEST_P(HeifVariantTest, ConvertsToWhatHeifConvertShows) {
    const fs::path input = TestData("heif-variants") / GetParam();
    const ReferenceImage expected = ReadReferenceImage(fs::path(input).replace_extension(".ppm"));
    TempDir dir;
    const fs::path out = dir / "out.ppm";
    const ProgramRun run = RunProgram({"PPM", "/NoComment", input.string(), out.string()});
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    std::istringstream text(ReadFileText(out));
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    text >> magic >> width >> height >> maxValue;
    ASSERT_EQ(width, expected.width);
    ASSERT_EQ(height, expected.height);
    int differences = 0;
    for (size_t i = 0; i < expected.pixels.size(); ++i) {
        uint32_t pixel = 0;
        for (int channel = 0, value = 0; channel < 3 && text >> value; ++channel)
            pixel = pixel << 8 | static_cast<uint32_t>(value);
        if (pixel != (expected.pixels[i] & 0xFFFFFFu) && differences++ == 0)
            ADD_FAILURE() << "first difference at pixel " << i << ": " << std::hex << pixel
                          << " for " << expected.pixels[i];
    }
    EXPECT_EQ(differences, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, HeifVariantTest, ::testing::ValuesIn(HeifVariants()),
                         [](const auto& variant) { return TestNameOf(variant.param); });

TEST(ConversionTest, TypeKeywordAndSwitchInAnyLetterCase) {
    TempDir dir;
    const fs::path out = dir / "out.ppm";
    ProgramRun run =
        RunProgram({"pPm", "/nOcOmMeNt", TestData("e2e/photo.png").string(), out.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(ReadFileText(out), ReadFileText(TestData("e2e/expected/photo.png.ppm")));
}

TEST(ConversionTest, ReplacesAnExistingOutputFile) {
    TempDir dir;
    const fs::path out = dir / "out.pgm";
    WriteFileText(out, std::string(100000, 'x'));
    ProgramRun run =
        RunProgram({"PGM", "/NoComment", TestData("e2e/grey.png").string(), out.string()});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(ReadFileText(out), ReadFileText(TestData("e2e/expected/grey.png.pgm")));
}

}  // namespace
}  // namespace pic2pnm::testing

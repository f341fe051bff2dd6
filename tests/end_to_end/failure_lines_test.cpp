// The console lines and exit status of every way a run can end, as a user sees them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "helpers/run_program.h"
#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

const std::string Header = "Pelorin - Picture to text picture 1.00.0001\n";
const std::string Usage =
    "Usage: pic2pnm[.EXE] (PBM|PGM|PPM) [/NoComment] InFileName OutFileName\n";

TEST(UsageTest, RejectedArgumentListsPrintHeaderAndUsageAndExitTwo) {
    const std::vector<std::vector<std::string>> rejected = {
        {},
        {"PPM"},
        {"PPM", "in.png"},
        {"GIF", "in.png", "out.gif"},
        {"PGM", "-NoComment", "in.png", "out.pgm"},
        {"PGM", "in.png", "/NoComment", "out.pgm"},
        {"PPM", "/NoComment", "a", "b", "c"},
    };
    for (const auto& arguments : rejected) {
        ProgramRun run = RunProgram(arguments);
        EXPECT_EQ(run.exitStatus, 2) << ::testing::PrintToString(arguments);
        EXPECT_EQ(run.output, Header + Usage) << ::testing::PrintToString(arguments);
    }
}

struct FailureCase {
    const char* name;
    std::string input;          // relative to the e2e fixtures unless absolute
    std::string expectedLines;  // with IN for the input path
};

class FailureLinesTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailureLinesTest, PrintsTheDesignedLinesExitsOneAndWritesNothing) {
    const FailureCase& c = GetParam();
    const std::string input =
        c.input.front() == '/' ? c.input : (TestData("e2e") / c.input).string();
    TempDir dir;
    const fs::path out = dir / "out.ppm";
    ProgramRun run = RunProgram({"PPM", input, out.string()});
    std::string expected = c.expectedLines;
    for (size_t at; (at = expected.find("IN")) != std::string::npos;)
        expected.replace(at, 2, input);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, expected);
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    EveryLoadFailure, FailureLinesTest,
    ::testing::Values(FailureCase{"MissingFile", "no-such-picture.png",
                                  "Can't load picture: IN\nError 53: File not found\n"},
                      // What neither decoder reads is an invalid picture, known format or not.
                      FailureCase{"NoDecoderKnowsIt", "text.txt",
                                  "Can't load picture: IN\n"
                                  "Error 0x80040000: Can't load bitmap file. Invalid picture\n"},
                      FailureCase{"EmptyFile", "empty.bin",
                                  "Can't load picture: IN\n"
                                  "Error 0x80040000: Can't load bitmap file. Invalid picture\n"},
                      FailureCase{"FormatNoDecoderKnows", "grey-map.pcx",
                                  "Can't load picture: IN\n"
                                  "Error 0x80040000: Can't load bitmap file. Invalid picture\n"},
                      FailureCase{"CorruptPng", "truncated.png",
                                  "Can't load picture: IN\n"
                                  "Error 0x80040000: Can't load bitmap file. Invalid picture\n"},
                      FailureCase{"Icon", "bmp-image.ico", "Picture not supported: IN\n"},
                      FailureCase{"Metafile", "empty.wmf", "Picture not supported: IN\n"},
                      FailureCase{"MetafileSizeCountingItsPlacementHeader",
                                  "size-counts-placement.wmf", "Picture not supported: IN\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(WriteFailureTest, MissingOutputDirectoryPrintsWriteFailure) {
    TempDir dir;
    const std::string out = (dir / "missing" / "out.ppm").string();
    ProgramRun run = RunProgram({"PPM", TestData("e2e/photo.png").string(), out});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't write file: " + out + "\nError 76: Path not found\n");
}

TEST(WriteFailureTest, FullDevicePrintsDiskFullAndNoSuccessLine) {
    ProgramRun run = RunProgram({"PPM", TestData("e2e/photo.png").string(), "/dev/full"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't write file: /dev/full\nError 61: Disk full\n");
}

}  // namespace
}  // namespace pic2pnm::testing

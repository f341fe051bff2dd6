// The program on a machine without libheif and libjxl (a build whose names for them lead
// nowhere): every other format converts as before, and HEIF, AVIF and JPEG XL pictures fail
// with "Not implemented". And with the libraries present, a damaged picture of these formats
// is an invalid picture, as for every other format.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "helpers/run_program.h"
#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

ProgramRun RunWithoutHeifAndJxl(const std::vector<std::string>& arguments) {
    RunOptions options;
    options.program = PIC2PNM_BINARY_WITHOUT_HEIF_JXL;
    return RunProgram(arguments, options);
}

TEST(WithoutHeifAndJxl, OtherFormatsStillConvert) {
    for (const char* picture : {"photo.bmp", "photo.gif", "photo.jpg", "photo.png", "photo.tif",
                                "alpha.webp", "png-image.ico"}) {
        SCOPED_TRACE(picture);
        TempDir dir;
        const fs::path out = dir / "out.ppm";
        const ProgramRun run = RunWithoutHeifAndJxl(
            {"PPM", "/NoComment", (TestData("e2e") / picture).string(), out.string()});
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        EXPECT_EQ(ReadFileText(out),
                  ReadFileText(TestData("e2e/expected") / (std::string(picture) + ".ppm")));
    }
}

TEST(WithoutHeifAndJxl, TheirFormatsAreNotImplemented) {
    for (const char* picture : {"e2e/photo.heic", "e2e/alpha.avif", "e2e/photo.jxl",
                                "heif/grey.heic", "avif/grid.avif", "jxl/animated.jxl"}) {
        SCOPED_TRACE(picture);
        TempDir dir;
        const fs::path out = dir / "out.ppm";
        const std::string input = TestData(picture).string();
        const ProgramRun run = RunWithoutHeifAndJxl({"PPM", input, out.string()});
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.output, "Can't load picture: " + input +
                                  "\nError 0x80040000: Can't load bitmap file. Not implemented\n");
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(WithHeifAndJxl, DamagedPicturesAreInvalid) {
    struct Case {
        const char* picture;
        size_t keep;  // bytes kept of the file
    };
    const Case cases[] = {
        {"e2e/photo.heic", 300},
        {"e2e/alpha.avif", 400},
        {"e2e/photo.jxl", 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        TempDir dir;
        const std::string bytes = ReadFileText(TestData(c.picture));
        ASSERT_LT(c.keep, bytes.size());
        const fs::path input = dir / "cut";
        WriteFileText(input, bytes.substr(0, c.keep));
        const fs::path out = dir / "out.ppm";
        const ProgramRun run = RunProgram({"PPM", input.string(), out.string()});
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.output, "Can't load picture: " + input.string() +
                                  "\nError 0x80040000: Can't load bitmap file. Invalid picture\n");
        EXPECT_FALSE(fs::exists(out));
    }
}

}  // namespace
}  // namespace pic2pnm::testing

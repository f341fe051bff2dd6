// What a run shows on the console, and its exit status: the usage, error lines and the
// executable's name.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "frontend/main_sequence.h"
#include "helpers/capture_console.h"
#include "helpers/test_files.h"
#include "runtime/app_object.h"
#include "runtime/exit_status.h"
#include "runtime/run_time_error.h"
#include "shared/error_line.h"
#include "support/support_command_line.h"

namespace pic2pnm {
namespace {

using testing::CaptureConsole;
using testing::TempDir;

const char* const Header = "Pelorin - Picture to text picture 1.00.0001\n";

std::string UsageText(const std::string& exeName) {
    return std::string(Header) + "Usage: " + exeName +
           "[.EXE] (PBM|PGM|PPM) [/NoComment] InFileName OutFileName\n";
}

// Keeps the executable name and the arguments of the process as they were.
class ConsoleLinesTest : public ::testing::Test {
  protected:
    void SetUp() override { savedName_ = App().EXEName; }
    void TearDown() override {
        App().EXEName = savedName_;
        SupportCommandLine().Arguments().SetItems({});
    }

  private:
    std::string savedName_;
};

TEST_F(ConsoleLinesTest, BadArgumentsShowTheUsageAndExitWith2) {
    const std::vector<std::vector<std::string>> argumentLists = {
        {},
        {"PBM"},
        {"PBM", "a.png"},
        {"gif", "a.png", "b.gif"},
        {"PGM", "-NoComment", "a.png", "b.pgm"},
        {"PPM", "/NoComment", "a.png", "b.ppm", "extra"},
    };
    for (const std::vector<std::string>& arguments : argumentLists) {
        SCOPED_TRACE(arguments.size());
        SupportCommandLine().Arguments().SetItems(arguments);
        SetExitStatus(ExitConverted);
        EXPECT_EQ(CaptureConsole([] { RunConversion(); }), UsageText(App().EXEName));
        EXPECT_EQ(ExitStatus(), ExitUsage);
    }
}

TEST_F(ConsoleLinesTest, TheUsageNamesTheExecutableTheProcessWasStartedAs) {
    struct Case {
        const char* argv0;
        const char* exeName;
    };
    const std::vector<Case> cases = {
        {"/usr/bin/pic2pnm.exe", "pic2pnm"},
        {"/opt/tools/convert-it", "convert-it"},
        {"./tool.v2.bin", "tool.v2"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argv0);
        std::string argv0 = c.argv0;
        std::string keyword = "PBM";
        char* argv[] = {argv0.data(), keyword.data(), nullptr};
        int status = -1;
        const std::string console = CaptureConsole([&] { status = RunProcess(2, argv); });
        EXPECT_EQ(console, UsageText(c.exeName));
        EXPECT_EQ(status, ExitUsage);
        EXPECT_EQ(App().EXEName, c.exeName);
    }
}

TEST_F(ConsoleLinesTest, ExecutableNameDropsTheFolderAndTheExtension) {
    struct Case {
        const char* path;
        const char* exeName;
    };
    const std::vector<Case> cases = {
        {"/usr/bin/pic2pnm.exe", "pic2pnm"},  {"pic2pnm", "pic2pnm"},
        {"bin/pic2pnm.EXE", "pic2pnm"},       {"/a.b/tool", "tool"},
        {"/a/archive.tar.gz", "archive.tar"}, {"/home/user/.hidden", ".hidden"},
    };
    for (const Case& c : cases) {
        App().EXEName = "before";
        SetAppExecutablePath(c.path);
        EXPECT_EQ(App().EXEName, c.exeName) << c.path;
    }
    // A path without a file name leaves the name as it was.
    for (const char* path : {"", "/usr/bin/"}) {
        App().EXEName = "before";
        SetAppExecutablePath(path);
        EXPECT_EQ(App().EXEName, "before") << path;
    }
}

TEST_F(ConsoleLinesTest, ErrorLines) {
    struct Case {
        const char* name;
        std::function<void()> fail;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"standard description", [] { RaiseError(ErrorNumber::FileNotFound); },
         "Error 53: File not found\n"},
        {"own description", [] { RaiseError(ErrorNumber::PictureOperation, "GetDIBits() failed"); },
         "Error 51: GetDIBits() failed\n"},
        {"object error", [] { RaiseError(ErrorNumber::ObjectError, "Can't load bitmap file. X"); },
         "Error 0x80040000: Can't load bitmap file. X\n"},
        {"negative number", [] { RaiseError(-1, "Minus one"); }, "Error 0xFFFFFFFF: Minus one\n"},
        {"out of memory", [] { throw std::bad_alloc(); }, "Error 7: Out of memory\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Err().Clear();
        ResumeNext(c.fail);
        const int32_t number = Err().Number;
        EXPECT_EQ(CaptureConsole([] { ShowError(); }), c.line);
        EXPECT_EQ(Err().Number, number);  // the error stays current
    }
    Err().Clear();
}

TEST_F(ConsoleLinesTest, AMissingInputIsReportedAndNothingIsWritten) {
    TempDir dir;
    const std::string input = (dir / "no such picture.png").string();
    const std::string output = (dir / "out.pbm").string();
    const std::vector<std::vector<std::string>> argumentLists = {
        {"PBM", input, output},
        {"pgm", "/NoComment", input, output},
        {"PPM", input, output},
    };
    for (const std::vector<std::string>& arguments : argumentLists) {
        SCOPED_TRACE(arguments[0]);
        SupportCommandLine().Arguments().SetItems(arguments);
        SetExitStatus(ExitConverted);
        EXPECT_EQ(CaptureConsole([] { RunConversion(); }),
                  "Can't load picture: " + input + "\nError 53: File not found\n");
        EXPECT_EQ(ExitStatus(), ExitFailed);
        EXPECT_FALSE(std::filesystem::exists(output));
    }

    std::string argv0 = "pic2pnm";
    std::vector<std::string> arguments = {"PBM", input, output};
    char* argv[] = {argv0.data(), arguments[0].data(), arguments[1].data(), arguments[2].data(),
                    nullptr};
    int status = -1;
    EXPECT_EQ(CaptureConsole([&] { status = RunProcess(4, argv); }),
              "Can't load picture: " + input + "\nError 53: File not found\n");
    EXPECT_EQ(status, ExitFailed);
}

}  // namespace
}  // namespace pic2pnm

#include "frontend/main_sequence.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/convert_picture.h"
#include "frontend/parse_command_line.h"
#include "frontend/usage.h"
#include "imaging/gdi/gdi.h"
#include "imaging/gdiplus/gdiplus.h"
#include "runtime/app_object.h"
#include "runtime/confined_child.h"
#include "runtime/exit_status.h"
#include "runtime/file_numbers.h"
#include "runtime/run_time_error.h"
#include "runtime/temporary_files.h"
#include "support/support_command_line.h"
#include "support/support_console.h"
#include "support/support_library.h"

namespace pic2pnm {
namespace {

// For the tests: every handle, image, start-up token and file is given back when a run ends.
int CheckEverythingReleased() {
    const size_t gdiObjects = LiveGdiObjects();
    const size_t images = LiveGdipImages();
    const size_t tokens = GdiplusStartupCount();
    // A temporary output file still there counts as a file left behind.
    const int files = OpenFileCount() + TemporaryCount();
    if (gdiObjects == 0 && images == 0 && tokens == 0 && files == 0) return ExitStatus();
    std::fprintf(stderr,
                 "%s: left behind: %zu GDI objects, %zu GDI+ images, %zu GDI+ tokens, %d files\n",
                 App().EXEName.c_str(), gdiObjects, images, tokens, files);
    return 99;
}

// Once a run, on standard error, when pictures are decoded without the sandbox.
void PrintConfinementNotice(std::string_view notice) {
    std::fprintf(stderr, "%s: %.*s\n", App().EXEName.c_str(), static_cast<int>(notice.size()),
                 notice.data());
}

}  // namespace

void Main() {
    esRegisterAppPath();
    InitCommonControls();
    if (!esIsInIDE()) psSetWindowResIconAll(esGetThunderMainHandle(), "A_MAIN");
    RunConversion();
    if (esIsInIDE()) SupportConsole().Finish(0);
}

void RunConversion() {
    ConvertRequest Request;
    if (ParseCommandLine(Request))
        ConvertPicture(Request);
    else
        ShowUsage();
}

int RunProcess(int argc, char** argv) {
    if (argc > 0 && argv[0] != nullptr) SetAppExecutablePath(argv[0]);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    SupportCommandLine().Arguments().SetItems(std::move(arguments));
    SetExitStatus(ExitFailed);
    // A pipe whose reader has gone makes the write fail (EPIPE), which the program reports,
    // instead of ending the process without a word.
    std::signal(SIGPIPE, SIG_IGN);
    SetConfinementNoticeHandler(PrintConfinementNotice);
    try {
        Main();
    } catch (...) {
        Err().SetFromCurrentException();
        std::fprintf(stderr, "%s: run-time error %d: %s\n", App().EXEName.c_str(), Err().Number,
                     Err().Description.c_str());
        return ExitFailed;
    }
    if (std::getenv("PIC2PNM_CHECK_RELEASES") != nullptr) return CheckEverythingReleased();
    return ExitStatus();
}

}  // namespace pic2pnm

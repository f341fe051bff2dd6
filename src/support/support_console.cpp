#include "support/support_console.h"

#include <cstdio>
#include <string>

#include "runtime/format_number.h"
#include "runtime/run_time_error.h"
#include "support/printable_line.h"

namespace pic2pnm {

void SupportConsoleObject::WriteAppHeader(const AppObject& app, int32_t flags) {
    PrintLine(app.Title + " " + FormatNumber(app.Major, "0") + "." + FormatNumber(app.Minor, "00") +
                  "." + FormatNumber(app.Revision, "0000"),
              flags);
}

void SupportConsoleObject::Finish(int32_t) {}

void SupportConsoleObject::PrintLine(std::string_view text, int32_t) {
    // One write per line, flushed at once, so the lines keep their order with anything else
    // the process writes.
    std::string line = PrintableLine(text);
    line += '\n';
    std::FILE* stream = toStandardError_ ? stderr : stdout;
    if (std::fwrite(line.data(), 1, line.size(), stream) != line.size() || std::fflush(stream) != 0)
        RaiseError(ErrorNumber::DeviceIoError);
}

SupportConsoleObject& SupportConsole() {
    static SupportConsoleObject console;
    return console;
}

}  // namespace pic2pnm

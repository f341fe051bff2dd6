#include "frontend/parse_command_line.h"

#include <string>

#include "runtime/ucase.h"
#include "support/support_command_line.h"
#include "support/support_library.h"

namespace pic2pnm {

bool ParseCommandLine(ConvertRequest& Request) {
    ArgumentsObject& arguments = SupportCommandLine().Arguments();
    // Inside the development environment the arguments come from the run-time's command line;
    // there is no such environment here, so this branch is never taken.
    if (esIsInIDE()) arguments.SetCommandLine("", true);

    const int32_t count = arguments.Count();
    if (count < 3 || count > 4) return false;

    const std::string keyword = UCase(arguments.Item(0));
    if (keyword == "PBM")
        Request.OutputType = OutputPbm;
    else if (keyword == "PGM")
        Request.OutputType = OutputPgm;
    else if (keyword == "PPM")
        Request.OutputType = OutputPpm;
    else
        return false;

    if (arguments.Count() == 3) {
        Request.NoComment = false;
        Request.InFileName = arguments.Item(1);
        Request.OutFileName = arguments.Item(2);
    } else {
        if (UCase(arguments.Item(1)) != "/NOCOMMENT") return false;
        Request.NoComment = true;
        Request.InFileName = arguments.Item(2);
        Request.OutFileName = arguments.Item(3);
    }
    return true;
}

}  // namespace pic2pnm

#include "frontend/usage.h"

#include "runtime/app_object.h"
#include "runtime/exit_status.h"
#include "support/support_console.h"

namespace pic2pnm {

void ShowUsage() {
    SetExitStatus(ExitUsage);
    SupportConsole().WriteAppHeader(App(), 0);
    SupportConsole().PrintLine(
        "Usage: " + App().EXEName + "[.EXE] (PBM|PGM|PPM) [/NoComment] InFileName OutFileName", 0);
}

}  // namespace pic2pnm

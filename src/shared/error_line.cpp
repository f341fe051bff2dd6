#include "shared/error_line.h"

#include "runtime/run_time_error.h"
#include "support/support_console.h"
#include "support/support_library.h"

namespace pic2pnm {

void ShowError() {
    const std::string number = psGetErrorNumber(Err().Number);
    SupportConsole().PrintLine("Error " + number + ": " + Err().Description, 0);
}

}  // namespace pic2pnm

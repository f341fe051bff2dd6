#include "runtime/exit_status.h"

namespace pic2pnm {
namespace {
int exitStatus = ExitFailed;
}

void SetExitStatus(int status) {
    exitStatus = status;
}
int ExitStatus() {
    return exitStatus;
}

}  // namespace pic2pnm

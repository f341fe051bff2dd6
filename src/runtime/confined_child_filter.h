// The system-call filter of a confined child: what decoding needs and nothing else.
#pragma once

#include <sys/types.h>

namespace pic2pnm {

struct ChildFilterPlan {
    int stderrFd = 2;   // library messages, and sanitizer reports, go to the parent here
    int recordFd = 3;   // the child's record, and what it hands over when asked
    int commandFd = 4;  // where the parent lets the child go
    pid_t pid = 0;      // the child itself, the one process it may signal
    // Every call outside the filter is allowed and logged by the kernel instead of ending the
    // child: how the list below was found (PIC2PNM_SANDBOX=log).
    bool logOnly = false;
};

// Loads the filter into the calling process: 0, or the errno of the failure (ENOSYS, EINVAL or
// EACCES where the kernel or a container allows no filter).
int LoadChildFilter(const ChildFilterPlan& plan);

}  // namespace pic2pnm

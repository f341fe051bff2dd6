// The system-call filter of a confined child: what decoding needs and nothing else. The parent
// makes it (with libseccomp) while the child sets itself up, and sends it over; the child loads
// it.
#pragma once

#include <linux/filter.h>
#include <sys/types.h>

#include <vector>

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

// The filter as the kernel takes it.
using ChildFilterProgram = std::vector<sock_filter>;

// Makes the filter of a child: 0, or the errno of the failure (ENOSYS where the kernel has no
// filter that ends a whole process).
int MakeChildFilter(const ChildFilterPlan& plan, ChildFilterProgram& program);

// Loads a filter into the calling process, which may no longer gain privileges: 0, or the errno
// of the failure (ENOSYS, EINVAL or EACCES where the kernel or a container allows no filter).
int LoadChildFilter(const ChildFilterProgram& program);

}  // namespace pic2pnm

// The child's side of RunConfined: from the fork to its exit.
#pragma once

#include <sys/types.h>

#include <functional>

#include "runtime/confined_child.h"

namespace pic2pnm {

struct ChildPlan {
    pid_t parent = 0;
    int stderrFd = -1;
    int recordFd = -1;   // the child's end for writing
    int commandFd = -1;  // the child's end for reading
    ChildLimits limits;
};

// In the parent, right after the fork: makes the child's filter while the child sets itself up
// and sends it to the child's command end (`fd`).
void SendChildFilter(int fd, pid_t child, bool logOnly);

// Confines the process, runs `prepare` before the filter (which it reads from its command end)
// and `work` after it, and exits. A step that fails before the input is touched is reported as
// 'U' and a reason on the record pipe (the parent then does the work itself); once confined,
// the child first writes 'C'.
[[noreturn]] void RunChild(const ChildPlan& plan, const std::function<void()>& prepare,
                           const std::function<void(ChildSide&)>& work);

}  // namespace pic2pnm

// Work on hostile bytes runs in a child process that can do little more than compute: forked
// for the one task (no exec), it keeps only standard error, its record pipe and the shared
// block, drops its capabilities, may not gain privileges, has limits on CPU time and address
// space, and runs under a system-call filter that allows memory, threads, writing its report
// and ending. Whatever the child does (crash, abort, a forbidden call, a lie), the parent
// reaps it and learns one ChildEnd; it trusts nothing of the record but its size.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "runtime/shared_block.h"

namespace pic2pnm {

enum class ChildEnd {
    Reported,     // exited after writing its whole record
    NotRun,       // no child: confinement is off or cannot be set up here; do the work in-process
    Crashed,      // ended by a signal of its own (SIGSEGV, SIGBUS, SIGABRT, ...)
    Refused,      // killed by the system-call filter (SIGSYS)
    OverCpuTime,  // ended at its CPU-time limit
    OverTime,     // killed by the parent at the wall-clock limit
    NoRecord,     // exited without its whole record, or with more than a record
};

// A short name of each end, for tests and diagnostics.
std::string_view ChildEndName(ChildEnd end);

struct ChildLimits {
    uint32_t cpuSeconds = 120;
    uint32_t wallMilliseconds = 300'000;
    // Address space the child may take beyond what it holds when it starts: at first, and at
    // most after FitAddressSpace. Ignored under AddressSanitizer, whose shadow memory takes
    // terabytes of address space.
    uint64_t startAddressSpace = 0;
    uint64_t mostAddressSpace = 0;
};

// What the work in the child has at hand.
class ChildSide {
  public:
    ChildSide(int recordFd, SharedBlock& block) : recordFd_(recordFd), block_(block) {}
    // Sends the record; false when it could not be written whole.
    bool Report(std::span<const std::byte> record);
    SharedBlock& Block() { return block_; }

  private:
    int recordFd_;
    SharedBlock& block_;
};

struct ChildRun {
    ChildEnd end = ChildEnd::NotRun;
    int detail = 0;  // the ending signal, or the exit status
};

// Runs `prepare` (before the filter: it may open libraries; it must not look at more of the
// input than the libraries' signatures) and then `work` in a confined child, and waits for
// it. On Reported, `record` holds the record the child sent, which had exactly its size.
// NotRun when confinement is off (PIC2PNM_SANDBOX=0) or cannot be set up (no memory files,
// fork refused, no system-call filter); the reason is told once through the notice handler.
ChildRun RunConfined(const ChildLimits& limits, SharedBlock& block,
                     const std::function<void()>& prepare,
                     const std::function<void(ChildSide&)>& work, std::span<std::byte> record);

// In the child: lets the address space grow to `bytes` beyond what the child held when it
// started (never past ChildLimits::mostAddressSpace, never lower than it is).
void FitAddressSpace(uint64_t bytes);

// Receives the one line that says why pictures are decoded without confinement, the first
// time it happens in a run. The front end prints it; lower layers never print.
using ConfinementNoticeHandler = void (*)(std::string_view notice);
void SetConfinementNoticeHandler(ConfinementNoticeHandler handler);

}  // namespace pic2pnm

// Work on hostile bytes runs in a child process that can do little more than compute: forked
// for the one task (no exec), it keeps only standard error and the two ends of its pipes to the
// parent, drops its capabilities, may not gain privileges, has limits on CPU time and address
// space, and runs under a system-call filter that allows memory, threads, its report and
// ending. It sends a fixed record and waits while the parent copies what the record names out
// of its memory. Whatever the child does (crash, abort, a forbidden call, a lie), the parent
// reaps it and learns one ChildEnd; it trusts nothing the child says that it has not checked.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace pic2pnm {

enum class ChildEnd {
    Reported,       // sent its record, which the parent believed; exited, or is held
    NotRun,         // no child: confinement is off or cannot be set up here; do the work in-process
    Crashed,        // ended by a signal of its own (SIGSEGV, SIGBUS, SIGABRT, ...)
    Refused,        // killed by the system-call filter (SIGSYS)
    OverCpuTime,    // ended at its CPU-time limit
    OverTime,       // killed by the parent at the wall-clock limit
    NoRecord,       // ended without its whole record, or sent more than it was asked for
    RecordRefused,  // its record did not hold, or what it names could not be copied
};

// A short name of each end, for tests and diagnostics.
std::string_view ChildEndName(ChildEnd end);

struct ChildRun {
    ChildEnd end = ChildEnd::NotRun;
    int detail = 0;  // the ending signal, or the exit status
};

struct ChildLimits {
    // CPU time at first, and at most after FitCpuTime; the wall-clock time the parent gives.
    uint32_t cpuSeconds = 30;
    uint32_t mostCpuSeconds = 30;
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
    ChildSide(int recordFd, int commandFd) : recordFd_(recordFd), commandFd_(commandFd) {}
    // Sends the record; false when it could not be written whole.
    bool Report(std::span<const std::byte> record);
    // After Report: waits until the parent has copied what it wants; when the parent may not
    // read the child's memory, sends `regions` down the record pipe, in order, on its asking.
    void HandOver(std::span<const std::span<const std::byte>> regions);

  private:
    int recordFd_;
    int commandFd_;
};

// A confined child whose record was believed, stopped (SIGSTOP, so that its memory no longer
// changes) and kept, so that the pixels it decoded are copied out of its memory once, where the
// program needs them. The last holder ends it and reaps it.
class HeldChild {
  public:
    explicit HeldChild(pid_t child) : child_(child) {}
    ~HeldChild();
    HeldChild(const HeldChild&) = delete;
    HeldChild& operator=(const HeldChild&) = delete;
    // Copies out.size() bytes of the child's memory from `address`; false when they cannot be
    // had whole.
    bool Read(uint64_t address, std::span<std::byte> out) const;

  private:
    pid_t child_;
};

// The parent's way to the memory of a child that has sent its record and waits.
class ChildAccess {
  public:
    using Clock = std::chrono::steady_clock;
    ChildAccess(pid_t child, int recordFd, int commandFd, Clock::time_point deadline)
        : child_(child), recordFd_(recordFd), commandFd_(commandFd), deadline_(deadline) {}
    // Copies out.size() bytes of the child's memory from `address`: read straight from it, or,
    // where the system lets no process read another's memory, from the record pipe, down which
    // the child then sends the regions it hands over, in order (the calls must ask for them in
    // that order). False when the bytes cannot be had whole.
    bool Read(uint64_t address, std::span<std::byte> out);
    // Whether the `bytes` bytes at `address` can be read straight from the child's memory, as
    // far as their first and last byte tell; false also where the system lets no process read
    // another's memory (Denied then true, and Read goes through the pipe).
    bool CanReadStraight(uint64_t address, size_t bytes);
    bool Denied() const { return denied_; }
    // Keeps the child, stopped, instead of letting it go; null when it could not be stopped, or
    // its memory is not read straight.
    std::shared_ptr<HeldChild> Hold();
    bool Held() const { return held_; }

  private:
    bool ReadFromPipe(std::span<std::byte> out);

    pid_t child_;
    int recordFd_;
    int commandFd_;
    Clock::time_point deadline_;
    bool denied_ = false;
    bool streaming_ = false;
    bool held_ = false;
};

// Checks a child's record and copies what it names; false when it does not hold.
using RecordReader = std::function<bool(std::span<const std::byte> record, ChildAccess& child)>;

// Runs `prepare` (before the filter: it may open libraries; it must not look at more of the
// input than the libraries' signatures) and then `work` in a confined child, waits for its
// record of `recordSize` bytes, hands it to `read` while the child waits, then lets the child
// go and reaps it, unless `read` held it (ChildAccess::Hold). `confined`, when given, runs in the
// parent as soon as the child is confined: what only the child needs from then on (the input's
// bytes) may be given back there, so that the child owns those pages alone and writes them without
// copies. NotRun when confinement is off (PIC2PNM_SANDBOX=0) or cannot be set up (fork refused, no
// system-call filter), and then `confined` has not run; the reason is told once through the notice
// handler.
ChildRun RunConfined(const ChildLimits& limits, const std::function<void()>& prepare,
                     const std::function<void(ChildSide&)>& work, size_t recordSize,
                     const RecordReader& read, const std::function<void()>& confined = {});

// In the child: lets the address space grow to `bytes` beyond what the child held when it
// started (never past ChildLimits::mostAddressSpace, never lower than it is).
void FitAddressSpace(uint64_t bytes);
// In the child: lets the CPU time grow to `seconds` (never past ChildLimits::mostCpuSeconds,
// never lower than it is).
void FitCpuTime(uint64_t seconds);

// Receives the one line that says why pictures are decoded without confinement, the first
// time it happens in a run. The front end prints it; lower layers never print.
using ConfinementNoticeHandler = void (*)(std::string_view notice);
void SetConfinementNoticeHandler(ConfinementNoticeHandler handler);

}  // namespace pic2pnm

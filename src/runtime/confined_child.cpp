#include "runtime/confined_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/confined_child_setup.h"
#include "runtime/large_memory.h"
#include "runtime/processors.h"
#include "testing/testing_hooks.h"

namespace pic2pnm {
namespace {

using Clock = std::chrono::steady_clock;

// What the child writes first: confined, or not confinable here.
constexpr std::byte Confined{'C'};
constexpr std::byte NotConfinable{'U'};
// What the parent asks of a child whose memory it may not read.
constexpr char SendRegions = 'S';

// Standard error of a child kept for the sanitizer report it may hold; the rest is drained.
constexpr size_t KeptStandardError = 64 * 1024;

enum class Mode { Unread, On, Off, LogOnly };
Mode mode = Mode::Unread;
bool unavailable = false;  // found out once; every later task runs in-process without asking
ConfinementNoticeHandler noticeHandler = nullptr;
bool offForFuzzing = false;
ConfinedChildObserver observer;

Mode CurrentMode() {
    if (mode == Mode::Unread) {
        const char* setting = std::getenv("PIC2PNM_SANDBOX");
        const std::string value = setting == nullptr ? "" : setting;
        mode = value == "0" ? Mode::Off : value == "log" ? Mode::LogOnly : Mode::On;
    }
    return offForFuzzing ? Mode::Off : mode;
}

void Unavailable(const std::string& why) {
    if (unavailable) return;
    unavailable = true;
    if (noticeHandler != nullptr) noticeHandler("decoding without the sandbox: " + why);
}

// A pipe, or a pair of connected sockets where the parent writes to a child that may have gone:
// a socket can be sent to without SIGPIPE.
class Pipe {
  public:
    explicit Pipe(bool socket = false) {
        const int made = socket ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_)
                                : ::pipe2(ends_, O_CLOEXEC);
        if (made != 0) ends_[0] = ends_[1] = -1;
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    bool Made() const { return ends_[0] >= 0; }
    int Read() const { return ends_[0]; }
    int Write() const { return ends_[1]; }
    void CloseRead() { CloseEnd(0); }
    void CloseWrite() { CloseEnd(1); }

  private:
    void CloseEnd(int end) {
        if (ends_[end] >= 0) ::close(ends_[end]);
        ends_[end] = -1;
    }
    int ends_[2];
};

// While a child runs, SIGCHLD has its default action, so that the child stays to be waited
// for even when the program was started with SIGCHLD ignored.
class ChildSignalDefault {
  public:
    ChildSignalDefault() {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        saved_ = ::sigaction(SIGCHLD, &action, &previous_) == 0;
    }
    ~ChildSignalDefault() {
        if (saved_) ::sigaction(SIGCHLD, &previous_, nullptr);
    }
    ChildSignalDefault(const ChildSignalDefault&) = delete;
    ChildSignalDefault& operator=(const ChildSignalDefault&) = delete;

  private:
    struct sigaction previous_ {};
    bool saved_ = false;
};

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > INT32_MAX ? INT32_MAX : static_cast<int>(left);
}

// What the parent hears from the child on its two pipes.
class Listener {
  public:
    Listener(int recordFd, int stderrFd, size_t recordSize, const std::function<void()>& confined)
        : fds_{{recordFd, POLLIN, 0}, {stderrFd, POLLIN, 0}},
          expected_(1 + recordSize),
          confined_(confined) {
        record_.reserve(expected_);
    }

    // Listens until the record is whole (when `untilRecord`), both pipes have ended or the
    // deadline passes; false at the deadline.
    bool Listen(Clock::time_point deadline, bool untilRecord) {
        char buffer[4096];
        while (fds_[0].fd >= 0 || fds_[1].fd >= 0) {
            if (untilRecord && record_.size() == expected_) return true;
            const int left = MillisecondsLeft(deadline);
            if (left == 0) return false;
            const int ready = ::poll(fds_, 2, left);
            if (ready < 0 && errno != EINTR) return true;
            if (ready <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (fds_[i].fd < 0 || fds_[i].revents == 0) continue;
                // The record is read no further than its end: what follows is the parent's
                // to read (regions the child sends), or too much.
                const size_t want =
                    i == 0 ? std::max<size_t>(expected_ - record_.size(), 1) : sizeof buffer;
                const ssize_t n = ::read(fds_[i].fd, buffer, std::min(want, sizeof buffer));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    fds_[i].fd = -1;
                    continue;
                }
                Take(i, buffer, static_cast<size_t>(n));
            }
        }
        return true;
    }

    bool RecordWhole() const { return record_.size() == expected_ && !overflow_; }
    bool Overflowed() const { return overflow_; }
    const std::vector<std::byte>& Record() const { return record_; }
    const std::string& StandardError() const { return standardError_; }

  private:
    void Take(int pipe, const char* bytes, size_t count) {
        if (pipe == 1) {
            if (standardError_.size() < KeptStandardError)
                standardError_.append(bytes,
                                      std::min(count, KeptStandardError - standardError_.size()));
            return;
        }
        const size_t room = expected_ - record_.size();
        if (count > room) overflow_ = true;
        const auto* start = reinterpret_cast<const std::byte*>(bytes);
        const bool first = record_.empty();
        record_.insert(record_.end(), start, start + std::min(count, room));
        if (first && !record_.empty() && record_.front() == Confined && confined_) confined_();
    }

    pollfd fds_[2];
    size_t expected_;
    const std::function<void()>& confined_;
    std::vector<std::byte> record_;  // the handshake byte, then the record
    std::string standardError_;
    bool overflow_ = false;
};

// Waits for the child to end, killing it at the deadline or at once. The wait status, and
// whether the parent killed it.
int Reap(pid_t child, Clock::time_point deadline, bool killNow, bool& killed) {
    killed = false;
    int status = 0;
    if (!killNow) {
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
        if (pidfd >= 0) {
            pollfd fd{pidfd, POLLIN, 0};
            while (MillisecondsLeft(deadline) > 0) {
                const int ready = ::poll(&fd, 1, MillisecondsLeft(deadline));
                if (ready > 0 || (ready < 0 && errno != EINTR)) break;
            }
            ::close(pidfd);
        } else {
            // Without process descriptors (Linux before 5.3): look every millisecond.
            while (MillisecondsLeft(deadline) > 0) {
                const pid_t done = ::waitpid(child, &status, WNOHANG);
                if (done == child) return status;
                if (done < 0 && errno != EINTR) break;
                ::usleep(1000);
            }
        }
    }
    pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == 0) {
        ::kill(child, SIGKILL);
        killed = true;
        do done = ::waitpid(child, &status, 0);
        while (done < 0 && errno == EINTR);
    }
    return status;
}

// The child's words, as far as they are printable.
std::string PrintableText(std::span<const std::byte> bytes) {
    std::string text;
    for (const std::byte b : bytes) {
        const auto c = static_cast<char>(b);
        if (c < 0x20 || c > 0x7E) break;
        text.push_back(c);
    }
    return text;
}

bool HoldsSanitizerReport(const std::string& text) {
    return text.find("Sanitizer") != std::string::npos ||
           text.find("runtime error:") != std::string::npos;
}

ChildRun Classify(int status, bool killed, bool believed, bool refused, const Listener& listener) {
    // The parent ended a child whose record did not hold, or one that ran out of time.
    if (refused) return {ChildEnd::RecordRefused, 0};
    if (killed) return {ChildEnd::OverTime, SIGKILL};
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGSYS) return {ChildEnd::Refused, signal};
        // SIGXCPU at the soft limit; SIGKILL from the kernel at the hard one.
        if (signal == SIGXCPU || signal == SIGKILL) return {ChildEnd::OverCpuTime, signal};
        return {ChildEnd::Crashed, signal};
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 0 && believed && !listener.Overflowed()) return {ChildEnd::Reported, 0};
    return {ChildEnd::NoRecord, code};
}

// A sanitizer's report from inside a codec library reaches the developer; the libraries' own
// chatter never does.
void PassOnSanitizerReport(const Listener& listener) {
#ifdef PIC2PNM_SANITIZER_RUNTIME
    if (HoldsSanitizerReport(listener.StandardError()))
        std::fputs(listener.StandardError().c_str(), stderr);
#else
    (void)listener;
    (void)HoldsSanitizerReport;
#endif
}

ChildRun Finish(ChildRun run) {
    if (observer) observer(static_cast<int>(run.end), run.detail);
    return run;
}

}  // namespace

std::string_view ChildEndName(ChildEnd end) {
    switch (end) {
        case ChildEnd::Reported: return "reported";
        case ChildEnd::NotRun: return "not run";
        case ChildEnd::Crashed: return "crashed";
        case ChildEnd::Refused: return "refused a system call";
        case ChildEnd::OverCpuTime: return "over its CPU time";
        case ChildEnd::OverTime: return "over its time";
        case ChildEnd::NoRecord: return "no record";
        case ChildEnd::RecordRefused: return "record refused";
    }
    return "unknown";
}

bool ChildSide::Report(std::span<const std::byte> record) {
    size_t done = 0;
    while (done < record.size()) {
        // The system call itself: no write() that another library puts in place of the C
        // library's touches the record.
        const ssize_t n =
            ::syscall(SYS_write, recordFd_, record.data() + done, record.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void ChildSide::HandOver(std::span<const std::span<const std::byte>> regions) {
    for (;;) {
        char command = 0;
        const ssize_t n = ::syscall(SYS_read, commandFd_, &command, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || command != SendRegions) return;  // let go
        for (const std::span<const std::byte> region : regions)
            if (!Report(region)) return;
    }
}

namespace {

// Copies out.size() bytes of another process's memory: the count, or -1 with errno set.
ssize_t ReadProcessMemory(pid_t process, uint64_t address, std::span<std::byte> out) {
    size_t done = 0;
    while (done < out.size()) {
        const iovec local{out.data() + done, out.size() - done};
        const iovec remote{reinterpret_cast<void*>(static_cast<uintptr_t>(address + done)),
                           out.size() - done};
        const ssize_t n = ::process_vm_readv(process, &local, 1, &remote, 1, 0);
        if (n < 0) return done == 0 ? -1 : static_cast<ssize_t>(done);
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

// Whether out.size() bytes of the child's memory from `address` were all copied.
bool ReadWhole(pid_t process, uint64_t address, std::span<std::byte> out) {
    return ReadProcessMemory(process, address, out) == static_cast<ssize_t>(out.size());
}

// A copy this large is split between two threads: the kernel's copying, and the first touch of
// the fresh pages it copies into, run on two processors at once. A 24-megapixel picture came
// out in 5 to 7 ms instead of 9 to 13, and where the host had taken those pages back in 0.2 s
// instead of 0.4. Below it, starting a thread costs more than it saves.
constexpr size_t SplitReadBytes = size_t{8} << 20;
// The halves meet at a huge page's edge, so that no page is first touched by both.
constexpr size_t SplitAlignment = size_t{2} << 20;

}  // namespace

HeldChild::~HeldChild() {
    ::kill(child_, SIGKILL);
    pid_t done;
    do done = ::waitpid(child_, nullptr, 0);
    while (done < 0 && errno == EINTR);
}

bool HeldChild::Read(uint64_t address, std::span<std::byte> out) const {
    if (address > UINT64_MAX - out.size()) return false;
    if (out.size() < SplitReadBytes || !SecondProcessorAvailable())
        return ReadWhole(child_, address, out);
    const size_t half = out.size() / 2 / SplitAlignment * SplitAlignment;
    bool secondRead = false;
    // The helper takes no signals: they stay with the thread that runs the program.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    OneHeapForEveryThread();
    std::thread second;
    try {
        second =
            std::thread([&] { secondRead = ReadWhole(child_, address + half, out.subspan(half)); });
    } catch (...) {
        // No thread to be had: the caller copies it all.
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!second.joinable()) return ReadWhole(child_, address, out);
    const bool firstRead = ReadWhole(child_, address, out.first(half));
    second.join();
    return firstRead && secondRead;
}

bool ChildAccess::CanReadStraight(uint64_t address, size_t bytes) {
    if (denied_ || bytes == 0 || address > UINT64_MAX - bytes) return false;
    std::byte probe[1];
    for (const uint64_t at : {address, address + bytes - 1}) {
        if (ReadProcessMemory(child_, at, probe) == 1) continue;
        // Ptrace restrictions (Yama's scope 2 and 3, a container's filter) forbid reading
        // another process's memory.
        denied_ = errno == EPERM || errno == ENOSYS;
        return false;
    }
    return true;
}

bool ChildAccess::Read(uint64_t address, std::span<std::byte> out) {
    if (out.empty()) return true;
    if (streaming_) return ReadFromPipe(out);
    if (address > UINT64_MAX - out.size()) return false;
    if (!denied_) {
        const ssize_t n = ReadProcessMemory(child_, address, out);
        if (n >= 0) return static_cast<size_t>(n) == out.size();
        denied_ = errno == EPERM || errno == ENOSYS;
        if (!denied_) return false;
    }
    // The child sends what it hands over instead.
    const char command = SendRegions;
    if (::send(commandFd_, &command, 1, MSG_NOSIGNAL) != 1) return false;
    streaming_ = true;
    return ReadFromPipe(out);
}

std::shared_ptr<HeldChild> ChildAccess::Hold() {
    if (denied_ || streaming_ || held_) return nullptr;
    // Stopped, the child can change nothing of what the parent will read; it uses no CPU time
    // and runs out of no clock.
    if (::kill(child_, SIGSTOP) != 0) return nullptr;
    int status = 0;
    pid_t done;
    do done = ::waitpid(child_, &status, WUNTRACED);
    while (done < 0 && errno == EINTR);
    if (done != child_ || !WIFSTOPPED(status)) return nullptr;
    try {
        auto held = std::make_shared<HeldChild>(child_);
        held_ = true;
        return held;
    } catch (const std::bad_alloc&) {
        return nullptr;  // the child is reaped as one whose record did not hold
    }
}

bool ChildAccess::ReadFromPipe(std::span<std::byte> out) {
    size_t done = 0;
    pollfd fd{recordFd_, POLLIN, 0};
    while (done < out.size()) {
        const int left = MillisecondsLeft(deadline_);
        if (left == 0) return false;
        const int ready = ::poll(&fd, 1, left);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        const ssize_t n = ::read(recordFd_, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void SetConfinementNoticeHandler(ConfinementNoticeHandler handler) {
    noticeHandler = handler;
}

void SetConfinementOffForFuzzing(bool off) {
    offForFuzzing = off;
}

void SetConfinedChildObserver(ConfinedChildObserver childObserver) {
    observer = std::move(childObserver);
}

ChildRun RunConfined(const ChildLimits& limits, const std::function<void()>& prepare,
                     const std::function<void(ChildSide&)>& work, size_t recordSize,
                     const RecordReader& read, const std::function<void()>& confined) {
    const Mode wanted = CurrentMode();
    if (wanted == Mode::Off || unavailable) return Finish({ChildEnd::NotRun, 0});
    Pipe recordPipe;
    Pipe errorPipe;
    Pipe commandPipe(/*socket=*/true);
    if (!recordPipe.Made() || !errorPipe.Made() || !commandPipe.Made())
        return Finish({ChildEnd::NoRecord, -1});

    const ChildSignalDefault childSignal;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits.wallMilliseconds);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        Unavailable(std::string("fork: ") + std::strerror(errno));
        return Finish({ChildEnd::NotRun, 0});
    }
    if (child == 0) {
        ChildPlan plan;
        plan.parent = parent;
        plan.stderrFd = errorPipe.Write();
        plan.recordFd = recordPipe.Write();
        plan.commandFd = commandPipe.Read();
        plan.limits = limits;
        RunChild(plan, prepare, work);  // never returns
    }
    recordPipe.CloseWrite();
    errorPipe.CloseWrite();
    commandPipe.CloseRead();
    // While the child sets itself up: its filter, made here, on the other processor.
    SendChildFilter(commandPipe.Write(), child, wanted == Mode::LogOnly);

    Listener listener(recordPipe.Read(), errorPipe.Read(), recordSize, confined);
    bool inTime = listener.Listen(deadline, /*untilRecord=*/true);
    const std::vector<std::byte>& record = listener.Record();
    // Only a child that has not yet touched the input says so, before its filter is on.
    if (inTime && !record.empty() && record.front() == NotConfinable) {
        bool killed = false;
        Reap(child, deadline, false, killed);
        Unavailable(PrintableText(std::span(record).subspan(1)));
        return Finish({ChildEnd::NotRun, 0});
    }
    bool believed = false;
    bool refused = false;
    if (inTime && listener.RecordWhole() && record.front() == Confined) {
        ChildAccess access(child, recordPipe.Read(), commandPipe.Write(), deadline);
        believed = read(std::span(record).subspan(1), access);
        refused = !believed;
        // A child held for its pixels is the holder's to end and reap.
        if (access.Held()) {
            PassOnSanitizerReport(listener);
            return Finish(believed ? ChildRun{ChildEnd::Reported, 0}
                                   : ChildRun{ChildEnd::RecordRefused, 0});
        }
    }
    // Let go: the child reads the end of its command pipe and exits; one that lied is ended.
    commandPipe.CloseWrite();
    if (refused) ::kill(child, SIGKILL);
    if (inTime && !refused) inTime = listener.Listen(deadline, /*untilRecord=*/false);
    bool killed = false;
    const int status = Reap(child, deadline, !inTime || refused, killed);
    PassOnSanitizerReport(listener);
    return Finish(Classify(status, killed, believed, refused, listener));
}

}  // namespace pic2pnm

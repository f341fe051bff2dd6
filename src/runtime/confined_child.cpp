#include "runtime/confined_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/confined_child_setup.h"
#include "testing/testing_hooks.h"

namespace pic2pnm {
namespace {

using Clock = std::chrono::steady_clock;

// What the child writes first: confined, or not confinable here.
constexpr std::byte Confined{'C'};
constexpr std::byte NotConfinable{'U'};

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

class Pipe {
  public:
    Pipe() {
        if (::pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
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

// What the parent hears from the child until both pipes end or the deadline passes.
struct Heard {
    std::vector<std::byte> record;  // the handshake byte, then the record
    std::string standardError;
    bool overflow = false;  // more bytes than a handshake and a record
    bool timedOut = false;
};

void Listen(int recordFd, int stderrFd, size_t recordSize, Clock::time_point deadline,
            Heard& heard) {
    const size_t expected = 1 + recordSize;
    heard.record.reserve(expected);
    pollfd fds[2] = {{recordFd, POLLIN, 0}, {stderrFd, POLLIN, 0}};
    char buffer[4096];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) {
            heard.timedOut = true;
            return;
        }
        const int ready = ::poll(fds, 2, left);
        if (ready < 0 && errno != EINTR) return;
        if (ready <= 0) continue;
        for (pollfd& fd : fds) {
            if (fd.fd < 0 || fd.revents == 0) continue;
            const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                fd.fd = -1;
                continue;
            }
            const auto count = static_cast<size_t>(n);
            if (&fd == &fds[0]) {
                const size_t room = expected - heard.record.size();
                if (count > room) heard.overflow = true;
                const auto* bytes = reinterpret_cast<const std::byte*>(buffer);
                heard.record.insert(heard.record.end(), bytes, bytes + std::min(count, room));
            } else if (heard.standardError.size() < KeptStandardError) {
                heard.standardError.append(
                    buffer, std::min(count, KeptStandardError - heard.standardError.size()));
            }
        }
    }
}

// Waits for the child to end, killing it at the deadline. The exit status, and whether the
// parent killed it.
int Reap(pid_t child, Clock::time_point deadline, bool killNow, bool& killed) {
    killed = false;
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    if (!killNow && pidfd >= 0) {
        pollfd fd{pidfd, POLLIN, 0};
        while (MillisecondsLeft(deadline) > 0) {
            const int ready = ::poll(&fd, 1, MillisecondsLeft(deadline));
            if (ready > 0 || (ready < 0 && errno != EINTR)) break;
        }
    } else if (!killNow) {
        // Without process descriptors: look every millisecond.
        int status = 0;
        while (MillisecondsLeft(deadline) > 0) {
            const pid_t done = ::waitpid(child, &status, WNOHANG);
            if (done == child) {
                if (pidfd >= 0) ::close(pidfd);
                return status;
            }
            if (done < 0 && errno != EINTR) break;
            ::usleep(1000);
        }
    }
    if (pidfd >= 0) ::close(pidfd);
    int status = 0;
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

ChildRun Classify(int status, bool killed, const Heard& heard, size_t recordSize) {
    if (killed) return {ChildEnd::OverTime, SIGKILL};
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        if (signal == SIGSYS) return {ChildEnd::Refused, signal};
        // SIGXCPU at the soft limit; SIGKILL from the kernel at the hard one.
        if (signal == SIGXCPU || signal == SIGKILL) return {ChildEnd::OverCpuTime, signal};
        return {ChildEnd::Crashed, signal};
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 0 && !heard.overflow && heard.record.size() == 1 + recordSize &&
        heard.record.front() == Confined)
        return {ChildEnd::Reported, 0};
    return {ChildEnd::NoRecord, code};
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

void SetConfinementNoticeHandler(ConfinementNoticeHandler handler) {
    noticeHandler = handler;
}

void SetConfinementOffForFuzzing(bool off) {
    offForFuzzing = off;
}

void SetConfinedChildObserver(ConfinedChildObserver childObserver) {
    observer = std::move(childObserver);
}

ChildRun RunConfined(const ChildLimits& limits, SharedBlock& block,
                     const std::function<void()>& prepare,
                     const std::function<void(ChildSide&)>& work, std::span<std::byte> record) {
    const Mode wanted = CurrentMode();
    if (wanted == Mode::Off || unavailable) return Finish({ChildEnd::NotRun, 0});
    if (!block.Create()) {
        Unavailable(std::string("no memory file: ") + std::strerror(errno));
        return Finish({ChildEnd::NotRun, 0});
    }
    Pipe recordPipe;
    Pipe errorPipe;
    if (!recordPipe.Made() || !errorPipe.Made()) return Finish({ChildEnd::NoRecord, -1});

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
        plan.blockFd = block.Descriptor();
        plan.limits = limits;
        plan.logOnly = wanted == Mode::LogOnly;
        RunChild(plan, block, prepare, work);  // never returns
    }
    recordPipe.CloseWrite();
    errorPipe.CloseWrite();

    Heard heard;
    Listen(recordPipe.Read(), errorPipe.Read(), record.size(), deadline, heard);
    bool killed = false;
    const int status = Reap(child, deadline, heard.timedOut, killed);
#ifdef PIC2PNM_SANITIZER_RUNTIME
    // A sanitizer's report from inside a codec library reaches the developer; the libraries'
    // own chatter never does.
    if (HoldsSanitizerReport(heard.standardError)) ::fputs(heard.standardError.c_str(), stderr);
#else
    (void)HoldsSanitizerReport;
#endif
    // Only a child that has not yet touched the input says so, before its filter is on.
    if (!heard.record.empty() && heard.record.front() == NotConfinable && !killed) {
        Unavailable(PrintableText(std::span(heard.record).subspan(1)));
        return Finish({ChildEnd::NotRun, 0});
    }
    const ChildRun run = Classify(status, killed, heard, record.size());
    if (run.end == ChildEnd::Reported)
        std::memcpy(record.data(), heard.record.data() + 1, record.size());
    return Finish(run);
}

}  // namespace pic2pnm

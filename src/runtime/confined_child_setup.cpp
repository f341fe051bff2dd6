#include "runtime/confined_child_setup.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/confined_child_filter.h"

namespace pic2pnm {
namespace {

// Where the child keeps what it keeps; everything above is closed.
constexpr int StderrFd = 2;
constexpr int RecordFd = 3;
constexpr int CommandFd = 4;
constexpr int FirstClosedFd = 5;

#ifdef PIC2PNM_SANITIZER_RUNTIME
// AddressSanitizer's shadow memory takes terabytes of address space: no limit fits beside it.
constexpr bool LimitAddressSpace = false;
#else
constexpr bool LimitAddressSpace = true;
#endif

// The address space the child held when it started, and the most its soft limits may reach:
// never more than the program itself was given.
uint64_t startAddressSpace = 0;
rlim_t mostAddressSpace = 0;
rlim_t mostCpuSeconds = 0;

[[noreturn]] void NotConfinable(int recordFd, const char* step, int error) {
    char text[160];
    const int length = std::snprintf(text, sizeof text, "U%s: %s", step, std::strerror(error));
    if (length > 0) {
        const size_t size = std::min(static_cast<size_t>(length), sizeof text - 1);
        [[maybe_unused]] const long written = ::syscall(SYS_write, recordFd, text, size);
    }
    ::_exit(0);
}

// The signal actions the program set up are the parent's business: the child ends the default
// way on each, so that a crash is seen as one. Sanitizer builds keep the sanitizers' handlers,
// which print the report of a crash.
void ResetSignals() {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal == SIGKILL || signal == SIGSTOP) continue;
#ifdef PIC2PNM_SANITIZER_RUNTIME
        if (signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL ||
            signal == SIGABRT || signal == SIGTRAP)
            continue;
#endif
        // A write to a pipe whose reader has gone fails instead.
        ::signal(signal, signal == SIGPIPE ? SIG_IGN : SIG_DFL);
    }
}

// Moves the three kept descriptors to 2, 3 and 4 and closes every other one.
bool KeepOnlyOwnDescriptors(const ChildPlan& plan) {
    const int kept[] = {plan.stderrFd, plan.recordFd, plan.commandFd};
    const int places[] = {StderrFd, RecordFd, CommandFd};
    int moved[3];
    for (int i = 0; i < 3; ++i) {
        moved[i] = ::fcntl(kept[i], F_DUPFD, 16);
        if (moved[i] < 0) return false;
    }
    for (int i = 0; i < 3; ++i)
        if (::dup2(moved[i], places[i]) != places[i]) return false;
    ::close(STDIN_FILENO);
    ::close(STDOUT_FILENO);
    if (::syscall(SYS_close_range, FirstClosedFd, ~0U, 0) == 0) return true;
    // Kernels before 5.9: one by one, up to the descriptor limit.
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    const rlim_t last = std::min<rlim_t>(files.rlim_cur, 1 << 20);
    for (rlim_t fd = FirstClosedFd; fd < last; ++fd) ::close(static_cast<int>(fd));
    return true;
}

bool ReadWhole(int fd, void* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, static_cast<char*>(buffer) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Pages of address space the process holds now, from /proc/self/statm.
uint64_t AddressSpaceInUse() {
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[64] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return 0;
    return std::strtoull(text, nullptr, 10) * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Lowers a limit to `soft` and `hard`, never above what the program was given, soft or hard;
// `given` receives the soft limit the program had.
bool LowerLimit(int resource, rlim_t soft, rlim_t hard, rlim_t* given = nullptr) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) != 0) return false;
    if (given != nullptr) *given = limit.rlim_cur;
    limit.rlim_max = std::min(limit.rlim_max, hard);
    limit.rlim_cur = std::min({limit.rlim_cur, limit.rlim_max, soft});
    return ::setrlimit(resource, &limit) == 0;
}

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

const char* SetLimits(const ChildLimits& limits) {
    // No core file is left behind by a crash.
    if (!LowerLimit(RLIMIT_CORE, 0, 0)) return "core file limit";
    // SIGXCPU at the soft limit, SIGKILL a second after the most it may reach.
    rlim_t givenCpu = 0;
    if (!LowerLimit(RLIMIT_CPU, limits.cpuSeconds, rlim_t{limits.mostCpuSeconds} + 1, &givenCpu))
        return "CPU limit";
    mostCpuSeconds = std::min<rlim_t>(givenCpu, limits.mostCpuSeconds);
    if (LimitAddressSpace && limits.mostAddressSpace != 0) {
        startAddressSpace = AddressSpaceInUse();
        if (startAddressSpace == 0) return "address space in use";
        const rlim_t most = SaturatingAdd(startAddressSpace, limits.mostAddressSpace);
        rlim_t given = 0;
        if (!LowerLimit(RLIMIT_AS, SaturatingAdd(startAddressSpace, limits.startAddressSpace), most,
                        &given))
            return "address-space limit";
        mostAddressSpace = std::min(given, most);
    }
    return nullptr;
}

// The filter the parent made meanwhile (SendChildFilter): 0, or the errno that kept it from
// being made or sent.
int ReceiveFilter(int fd, ChildFilterProgram& filter) {
    uint32_t header[2] = {};  // the count of instructions, or 0 and an errno
    if (!ReadWhole(fd, header, sizeof header)) return EIO;
    if (header[0] == 0 || header[0] > BPF_MAXINSNS) return header[1] != 0 ? int(header[1]) : EIO;
    filter.resize(header[0]);
    return ReadWhole(fd, filter.data(), filter.size() * sizeof(sock_filter)) ? 0 : EIO;
}

// A child of a program run by root gives up root's powers: it could otherwise raise its own
// limits again.
bool DropCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

void SendChildFilter(int fd, pid_t child, bool logOnly) {
    ChildFilterPlan plan;
    plan.stderrFd = StderrFd;
    plan.recordFd = RecordFd;
    plan.commandFd = CommandFd;
    plan.pid = child;
    plan.logOnly = logOnly;
    ChildFilterProgram filter;
    const int error = MakeChildFilter(plan, filter);
    const uint32_t header[2] = {error == 0 ? static_cast<uint32_t>(filter.size()) : 0,
                                static_cast<uint32_t>(error)};
    // A child that has gone reads nothing: no SIGPIPE for that.
    if (::send(fd, header, sizeof header, MSG_NOSIGNAL) != sizeof header || error != 0) return;
    const size_t bytes = filter.size() * sizeof(sock_filter);
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::send(fd, reinterpret_cast<const char*>(filter.data()) + done,
                                 bytes - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

void FitCpuTime(uint64_t seconds) {
    rlimit limit{};
    if (mostCpuSeconds == 0 || ::getrlimit(RLIMIT_CPU, &limit) != 0) return;
    const rlim_t wanted = std::min({rlim_t{seconds}, mostCpuSeconds, limit.rlim_max});
    if (wanted <= limit.rlim_cur) return;
    limit.rlim_cur = wanted;
    ::setrlimit(RLIMIT_CPU, &limit);
}

void FitAddressSpace(uint64_t bytes) {
    if (startAddressSpace == 0) return;
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0) return;
    const rlim_t wanted = std::min(
        {rlim_t{SaturatingAdd(startAddressSpace, bytes)}, mostAddressSpace, limit.rlim_max});
    if (wanted <= limit.rlim_cur) return;
    limit.rlim_cur = wanted;
    ::setrlimit(RLIMIT_AS, &limit);
}

void RunChild(const ChildPlan& plan, const std::function<void()>& prepare,
              const std::function<void(ChildSide&)>& work) {
    // The child goes with its parent, whatever ends the parent.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != plan.parent) ::_exit(1);
    ResetSignals();
    if (!KeepOnlyOwnDescriptors(plan)) NotConfinable(plan.recordFd, "descriptors", errno);
    if (const char* step = SetLimits(plan.limits)) NotConfinable(RecordFd, step, errno);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        NotConfinable(RecordFd, "no new privileges", errno);
    if (!DropCapabilities()) NotConfinable(RecordFd, "capabilities", errno);
    prepare();
    ChildFilterProgram filter;
    if (const int error = ReceiveFilter(CommandFd, filter); error != 0)
        NotConfinable(RecordFd, "no system-call filter", error);
    if (const int error = LoadChildFilter(filter); error != 0)
        NotConfinable(RecordFd, "no system-call filter", error);
    ChildSide side(RecordFd, CommandFd);
    const std::byte confined{'C'};
    if (!side.Report({&confined, 1})) ::_exit(1);
    work(side);
    ::_exit(0);
}

}  // namespace pic2pnm

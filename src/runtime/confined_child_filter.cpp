#include "runtime/confined_child_filter.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace pic2pnm {
namespace {

#ifdef PIC2PNM_SANITIZER_RUNTIME
constexpr bool SanitizerRuntime = true;
#else
constexpr bool SanitizerRuntime = false;
#endif

// The flags of an open for writing.
constexpr uint64_t Writing = O_ACCMODE | O_CREAT | O_TRUNC | O_APPEND;

// Every call below was seen while the test pictures, the hostile files, the resource files and
// the benchmark pictures were decoded under the filter in log mode (PIC2PNM_SANDBOX=log), or is
// the way abort() ends a process, or says why it is there; each is allowed for the reason beside
// it and, where an argument can say more, only with that argument. Any other call ends the
// child (SIGSYS).

class Filter {
  public:
    explicit Filter(uint32_t otherwise) : context_(seccomp_init(otherwise)) {}
    ~Filter() { seccomp_release(context_); }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    bool Made() const { return context_ != nullptr; }
    template <typename... Conditions>
    void Allow(int call, Conditions... conditions) {
        Add(SCMP_ACT_ALLOW, call, conditions...);
    }
    template <typename... Conditions>
    void Refuse(int call, int error, Conditions... conditions) {
        Add(SCMP_ACT_ERRNO(static_cast<uint32_t>(error)), call, conditions...);
    }
    // The program libseccomp makes, read back from a memory file it is written to.
    int Export(ChildFilterProgram& program) {
        if (failure_ != 0) return failure_;
        const int fd = ::memfd_create("pic2pnm-filter", MFD_CLOEXEC);
        if (fd < 0) return errno;
        int result = seccomp_export_bpf(context_, fd);
        const off_t bytes = result == 0 ? ::lseek(fd, 0, SEEK_END) : -1;
        if (result == 0 && (bytes <= 0 || bytes % sizeof(sock_filter) != 0)) result = -EINVAL;
        if (result == 0) {
            program.resize(static_cast<size_t>(bytes) / sizeof(sock_filter));
            if (::pread(fd, program.data(), static_cast<size_t>(bytes), 0) != bytes) result = -EIO;
        }
        ::close(fd);
        return result < 0 ? -result : 0;
    }

  private:
    template <typename... Conditions>
    void Add(uint32_t action, int call, Conditions... conditions) {
        const scmp_arg_cmp compare[] = {conditions..., scmp_arg_cmp{}};
        const int result =
            seccomp_rule_add_array(context_, action, call, sizeof...(conditions), compare);
        if (result < 0 && failure_ == 0) failure_ = -result;
    }

    scmp_filter_ctx context_;
    int failure_ = 0;
};

// An int argument, as the kernel reads it: the low 32 bits of the register.
scmp_arg_cmp IntIs(unsigned argument, int value) {
    return scmp_arg_cmp{argument, SCMP_CMP_MASKED_EQ, 0xFFFFFFFFu, static_cast<uint32_t>(value)};
}

scmp_arg_cmp BitsClear(unsigned argument, uint64_t bits) {
    return scmp_arg_cmp{argument, SCMP_CMP_MASKED_EQ, bits, 0};
}

scmp_arg_cmp BitsSet(unsigned argument, uint64_t bits) {
    return scmp_arg_cmp{argument, SCMP_CMP_MASKED_EQ, bits, bits};
}

scmp_arg_cmp Is(unsigned argument, uint64_t value) {
    return scmp_arg_cmp{argument, SCMP_CMP_EQ, value, 0};
}

void AllowMemory(Filter& filter) {
    // The C library's heap and the libraries' own buffers. Nothing is mapped executable, and
    // only anonymous memory is mapped at all.
    filter.Allow(SCMP_SYS(brk));
    filter.Allow(SCMP_SYS(mmap), IntIs(4, -1), BitsClear(2, PROT_EXEC));
    filter.Allow(SCMP_SYS(munmap));
    // Not seen in the corpus, but the C library's realloc of a large block moves it this way.
    filter.Allow(SCMP_SYS(mremap));
    // Freed heap and thread stacks are given back; huge pages are asked for.
    filter.Allow(SCMP_SYS(madvise));
    // The C library's sort asks how much memory the system has before it takes a buffer
    // (libtiff sorts its directory entries).
    filter.Allow(SCMP_SYS(sysinfo));
    // Guard pages of thread stacks, and the C library's heaps of other threads growing.
    filter.Allow(SCMP_SYS(mprotect), BitsClear(2, PROT_EXEC));
    // The address space and the CPU time grow to the size the file states (FitAddressSpace,
    // FitCpuTime): only those limits, and only of the child itself. Without capabilities they
    // cannot rise past their hard limits.
    filter.Allow(SCMP_SYS(prlimit64), Is(0, 0), Is(1, RLIMIT_AS));
    filter.Allow(SCMP_SYS(prlimit64), Is(0, 0), Is(1, RLIMIT_CPU));
}

void AllowThreads(Filter& filter, const ChildFilterPlan& plan) {
    // The AV1 and HEVC decoders behind libheif decode on worker threads. A new thread, never a
    // new process; clone3 hides its flags from the filter, and the C library falls back to
    // clone when it is missing.
    filter.Allow(SCMP_SYS(clone), BitsSet(0, CLONE_THREAD));
    filter.Refuse(SCMP_SYS(clone3), ENOSYS);
    // What the C library does for every new thread, and for the first one the handler of
    // its internal signal.
    filter.Allow(SCMP_SYS(set_robust_list));
    filter.Allow(SCMP_SYS(rseq));
    filter.Allow(SCMP_SYS(rt_sigprocmask));
    filter.Allow(SCMP_SYS(rt_sigaction));
    filter.Allow(SCMP_SYS(futex));                      // threads wait for each other
    filter.Allow(SCMP_SYS(sched_getaffinity));          // how many workers to start
    filter.Allow(SCMP_SYS(prctl), Is(0, PR_SET_NAME));  // the AV1 decoder names its workers
    filter.Allow(SCMP_SYS(exit));                       // a thread ends
    // abort() signals the child itself, and only the child.
    filter.Allow(SCMP_SYS(gettid));
    filter.Allow(SCMP_SYS(getpid));
    filter.Allow(SCMP_SYS(tgkill), IntIs(0, plan.pid));
}

void AllowReadingNothing(Filter& filter) {
    // A worker's heap that shrinks makes the C library read a system setting once; refused, it
    // takes the safe default. The child has no file to read: every open for reading is told
    // "permission denied", and any open for writing ends the child like every other forbidden
    // call.
    filter.Refuse(SCMP_SYS(openat), EACCES, BitsClear(2, Writing));
}

// Builds with sanitizers only: what their run-time needs to check the program and to report
// what it finds, symbols included. Writing files, sockets and new programs stay forbidden.
void AllowSanitizerRuntime(Filter& filter) {
    // An alternate signal stack on every thread, for the report of a crash.
    filter.Allow(SCMP_SYS(sigaltstack));
    // Whether memory may be read is asked of the kernel by writing it into a pipe.
    filter.Allow(SCMP_SYS(pipe2));
    filter.Allow(SCMP_SYS(write));
    filter.Allow(SCMP_SYS(close));
    filter.Allow(SCMP_SYS(sched_yield));  // the run-time's own locks
    // A report: is standard error a terminal, the memory map, the program's symbols.
    filter.Allow(SCMP_SYS(ioctl), Is(1, TCGETS));
    filter.Allow(SCMP_SYS(open), BitsClear(1, Writing));
    filter.Allow(SCMP_SYS(openat), BitsClear(2, Writing));
    filter.Allow(SCMP_SYS(dup));    // the run-time keeps its files above descriptor 2
    filter.Allow(SCMP_SYS(fcntl));  // and closed on exec
    filter.Allow(SCMP_SYS(read));
    filter.Allow(SCMP_SYS(newfstatat));
    filter.Allow(SCMP_SYS(readlink));
    filter.Allow(SCMP_SYS(mmap), BitsClear(2, PROT_EXEC));
    // A run-time that starts a symbolizer of its own is told no, and reports without it.
    filter.Refuse(SCMP_SYS(clone), EPERM, BitsClear(0, CLONE_THREAD));
}

void AllowReporting(Filter& filter, const ChildFilterPlan& plan) {
    // The record goes to the parent on its pipe, then the child waits to be let go (or asked
    // for its pixels); library messages go to standard error, which the parent reads and drops.
    filter.Allow(SCMP_SYS(write), IntIs(0, plan.recordFd));
    filter.Allow(SCMP_SYS(write), IntIs(0, plan.stderrFd));
    filter.Allow(SCMP_SYS(read), IntIs(0, plan.commandFd));
    filter.Allow(SCMP_SYS(exit_group));
}

}  // namespace

int MakeChildFilter(const ChildFilterPlan& plan, ChildFilterProgram& program) {
    Filter filter(plan.logOnly ? SCMP_ACT_LOG : SCMP_ACT_KILL_PROCESS);
    // libseccomp makes no filter whose default action the kernel cannot take.
    if (!filter.Made()) return ENOSYS;
    AllowMemory(filter);
    AllowThreads(filter, plan);
    AllowReporting(filter, plan);
    if (SanitizerRuntime)
        AllowSanitizerRuntime(filter);
    else
        AllowReadingNothing(filter);
    return filter.Export(program);
}

int LoadChildFilter(const ChildFilterProgram& program) {
    sock_fprog filter{static_cast<unsigned short>(program.size()),
                      const_cast<sock_filter*>(program.data())};
    if (program.empty() || program.size() > BPF_MAXINSNS) return EINVAL;
    if (::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0) return 0;
    if (errno != ENOSYS) return errno;
    // Kernels before 3.17 know the filter by prctl alone.
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0 ? 0 : errno;
}

}  // namespace pic2pnm

#include "runtime/temporary_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace pic2pnm {
namespace {

// Signals that end a run from outside and that the process may catch.
constexpr std::array<int, 3> EndingSignals = {SIGTERM, SIGINT, SIGHUP};

// The paths the signal handler removes. A slot holds a path from strdup or null; slots change
// only while the ending signals are blocked, so the handler never sees one half made.
constexpr size_t SlotCount = 16;
std::array<std::atomic<char*>, SlotCount> slots{};
int slotsInUse = 0;
std::array<struct sigaction, EndingSignals.size()> previousActions{};
std::array<bool, EndingSignals.size()> handlerInstalled{};

static_assert(std::atomic<char*>::is_always_lock_free, "the signal handler reads the slots");

extern "C" void RemoveTemporariesAndEnd(int signalNumber) {
    const int savedErrno = errno;
    for (std::atomic<char*>& slot : slots)
        if (char* path = slot.load(); path != nullptr) ::unlink(path);
    // The signal is blocked while this handler runs: raised again with its default action, it
    // ends the process as soon as the handler returns.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    ::sigaction(signalNumber, &defaultAction, nullptr);
    ::raise(signalNumber);
    errno = savedErrno;
}

// Blocks the ending signals for the life of the object.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t ending;
        sigemptyset(&ending);
        for (int signalNumber : EndingSignals) sigaddset(&ending, signalNumber);
        ::sigprocmask(SIG_BLOCK, &ending, &previous_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t previous_;
};

void InstallHandlers() {
    for (size_t i = 0; i < EndingSignals.size(); ++i) {
        struct sigaction previous {};
        if (::sigaction(EndingSignals[i], nullptr, &previous) != 0) continue;
        // A signal the process was told to ignore (nohup, for one) stays ignored.
        if (previous.sa_handler == SIG_IGN) continue;
        struct sigaction removing {};
        removing.sa_handler = RemoveTemporariesAndEnd;
        sigemptyset(&removing.sa_mask);
        for (int signalNumber : EndingSignals) sigaddset(&removing.sa_mask, signalNumber);
        if (::sigaction(EndingSignals[i], &removing, &previousActions[i]) == 0)
            handlerInstalled[i] = true;
    }
}

void RestoreHandlers() {
    for (size_t i = 0; i < EndingSignals.size(); ++i) {
        if (!handlerInstalled[i]) continue;
        ::sigaction(EndingSignals[i], &previousActions[i], nullptr);
        handlerInstalled[i] = false;
    }
}

// Takes a free slot for the path; false when every slot is taken.
bool Remember(const std::string& path) {
    for (std::atomic<char*>& slot : slots) {
        if (slot.load() != nullptr) continue;
        char* copy = ::strdup(path.c_str());
        if (copy == nullptr) return false;
        slot.store(copy);
        if (slotsInUse++ == 0) InstallHandlers();
        return true;
    }
    return false;
}

void Forget(const std::string& path) {
    for (std::atomic<char*>& slot : slots) {
        char* held = slot.load();
        if (held == nullptr || path != held) continue;
        slot.store(nullptr);
        std::free(held);
        if (--slotsInUse == 0) RestoreHandlers();
        return;
    }
}

std::string DirectoryPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six letters or digits, different for every call.
std::string RandomSuffix() {
    static constexpr char Letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static unsigned counter = 0;
    unsigned char bytes[6] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        const unsigned long mix = static_cast<unsigned long>(::getpid()) * 2654435761ul ^
                                  static_cast<unsigned long>(std::time(nullptr)) ^ ++counter;
        for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(mix >> i);
    }
    std::string suffix;
    for (unsigned char byte : bytes) suffix += Letters[byte % (sizeof Letters - 1)];
    return suffix;
}

// Keeps the temporary name within the usual 255-byte limit of one name.
constexpr size_t LongestNamePart = 200;

// Swaps the names of the temporary file and the regular file at `target` in one step; false
// when there is no such file or the file system cannot swap names, and nothing has changed.
// A rename over a file would do the same, but ext4 (by default) then writes the new file's
// data out at once and waits to free the old file's blocks in the same call, where a swap
// leaves the data to the kernel's write-back like any other write and frees a file whose
// data never reached the disk at little cost.
bool ExchangeWithRegularFile(const std::string& temporary, const std::string& target) {
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0)
        return false;
    // Whatever came to the target's name since it was opened (a folder, a link) goes back, and
    // the rename then does as it would.
    struct stat swapped {};
    if (::lstat(temporary.c_str(), &swapped) == 0 && S_ISREG(swapped.st_mode)) return true;
    ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE);
    return false;
}

}  // namespace

int CreateTemporaryBeside(const std::string& target, std::string& temporary, int& error) {
    const std::string prefix =
        DirectoryPart(target) + "." + NamePart(target).substr(0, LongestNamePart) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = prefix + RandomSuffix();
        SignalsHeld held;
        int fd;
        do fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = errno;
            return -1;
        }
        if (!Remember(candidate)) {
            ::unlink(candidate.c_str());
            ::close(fd);
            error = EMFILE;
            return -1;
        }
        temporary = candidate;
        return fd;
    }
    error = EEXIST;
    return -1;
}

int RenameTemporaryOver(const std::string& temporary, const std::string& target) {
    SignalsHeld held;
    int error = 0;
    const bool exchanged = ExchangeWithRegularFile(temporary, target);
    if (!exchanged && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    // After an exchange the temporary name holds the old file, which goes now.
    if (exchanged || error != 0) ::unlink(temporary.c_str());
    Forget(temporary);
    return error;
}

void RemoveTemporary(const std::string& temporary) {
    SignalsHeld held;
    ::unlink(temporary.c_str());
    Forget(temporary);
}

int TemporaryCount() {
    return slotsInUse;
}

}  // namespace pic2pnm

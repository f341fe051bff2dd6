#include "runtime/mapped_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define PIC2PNM_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIC2PNM_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef PIC2PNM_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

namespace pic2pnm {
namespace {

// The mappings the SIGBUS handler may repair. A handler can take no lock, so each slot is a
// few atomics: a range is published by setting its end before its start, and withdrawn by
// clearing its start first.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<uintptr_t> start{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> damaged{false};
};
constexpr int Slots = 8;  // more files than the two loaders ever hold at once
Slot slots[Slots];

struct sigaction previousAction {};
uintptr_t pageSize = 4096;

// Gives the signal to whoever handled it before us, as if we had never been there.
void PassOn(int signal, siginfo_t* info, void* context) {
    if (previousAction.sa_handler == SIG_IGN) return;
    if (previousAction.sa_handler != SIG_DFL) {
        if ((previousAction.sa_flags & SA_SIGINFO) != 0)
            previousAction.sa_sigaction(signal, info, context);
        else
            previousAction.sa_handler(signal);
        return;
    }
    // The default action ends the process: a fault repeats on return and now meets it, a
    // signal another process sent is raised again and delivered once this handler returns.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    if (info->si_code <= 0) ::raise(signal);
}

// Async-signal-safe: atomics, mmap and sigaction only.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    if (info->si_code > 0) {
        for (Slot& slot : slots) {
            const uintptr_t start = slot.start.load(std::memory_order_acquire);
            const uintptr_t end = slot.end.load(std::memory_order_acquire);
            if (start == 0 || address < start || address >= end) continue;
            // Every page from here to the end is past the file's new end: zeros over all of
            // them, so that reading on costs no further signal.
            const uintptr_t page = address & ~(pageSize - 1);
            void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            if (zeros == MAP_FAILED) break;
            slot.damaged.store(true, std::memory_order_release);
            return;
        }
    }
    PassOn(signal, info, context);
}

bool InstallHandler() {
    pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &previousAction) == 0;
}

bool HandlerInstalled() {
    static const bool installed = InstallHandler();
    return installed;
}

int TakeSlot() {
    for (int i = 0; i < Slots; ++i) {
        bool expected = false;
        if (slots[i].taken.compare_exchange_strong(expected, true)) return i;
    }
    return -1;
}

size_t RoundUpToPage(size_t bytes) {
    return (bytes + pageSize - 1) / pageSize * pageSize;
}

// Under AddressSanitizer the zeros after the file are off limits, as the bytes after a heap
// block are, so that a decoder reading past the end is caught.
void Poison(const uint8_t* from, size_t bytes) {
#ifdef PIC2PNM_ADDRESS_SANITIZER
    ASAN_POISON_MEMORY_REGION(from, bytes);
#else
    (void)from;
    (void)bytes;
#endif
}

void Unpoison(const uint8_t* from, size_t bytes) {
#ifdef PIC2PNM_ADDRESS_SANITIZER
    ASAN_UNPOISON_MEMORY_REGION(from, bytes);
#else
    (void)from;
    (void)bytes;
#endif
}

}  // namespace

void MappedFile::Swap(MappedFile& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(mappedBytes_, other.mappedBytes_);
    std::swap(slot_, other.slot_);
    std::swap(fd_, other.fd_);
    std::swap(watchedBytes_, other.watchedBytes_);
}

bool MappedFile::Map(int fd, size_t bytes) {
    Unmap();
    if (bytes == 0 || !HandlerInstalled()) return false;
    if (bytes > SIZE_MAX - 2 * pageSize) return false;
    const size_t fileBytes = RoundUpToPage(bytes);
    const size_t mappedBytes = fileBytes + pageSize;
    const int ownFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (ownFd < 0) return false;
    const int slot = TakeSlot();
    if (slot < 0) {
        ::close(ownFd);
        return false;
    }
    // Zeros first, then the file over all but their last page.
    void* area = ::mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (area != MAP_FAILED && ::mmap(area, fileBytes, PROT_READ | PROT_WRITE,
                                     MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
        ::munmap(area, mappedBytes);
        area = MAP_FAILED;
    }
    if (area == MAP_FAILED) {
        slots[slot].taken.store(false);
        ::close(ownFd);
        return false;
    }
    const auto start = reinterpret_cast<uintptr_t>(area);
    slots[slot].damaged.store(false);
    slots[slot].end.store(start + fileBytes, std::memory_order_release);
    slots[slot].start.store(start, std::memory_order_release);
    data_ = static_cast<uint8_t*>(area);
    size_ = bytes;
    mappedBytes_ = mappedBytes;
    slot_ = slot;
    fd_ = ownFd;
    Poison(data_ + size_, mappedBytes_ - size_);
    return true;
}

void MappedFile::UnmapKeepingWatch() noexcept {
    if (data_ == nullptr) return;
    Slot& slot = slots[slot_];
    const bool damaged = slot.damaged.load(std::memory_order_acquire);
    slot.start.store(0, std::memory_order_release);
    slot.end.store(0, std::memory_order_release);
    Unpoison(data_ + size_, mappedBytes_ - size_);
    ::munmap(data_, mappedBytes_);
    slot.taken.store(false);
    // A file already found cut short is remembered as one that can never be long enough.
    watchedBytes_ = damaged ? SIZE_MAX : size_;
    data_ = nullptr;
    size_ = 0;
    mappedBytes_ = 0;
    slot_ = -1;
}

void MappedFile::Unmap() noexcept {
    UnmapKeepingWatch();
    CloseWatch();
}

void MappedFile::CloseWatch() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    watchedBytes_ = 0;
}

bool MappedFile::Damaged() const {
    if (fd_ < 0) return false;
    if (slot_ >= 0 && slots[slot_].damaged.load(std::memory_order_acquire)) return true;
    const size_t bytes = data_ != nullptr ? size_ : watchedBytes_;
    struct stat info {};
    return ::fstat(fd_, &info) != 0 || static_cast<uint64_t>(info.st_size) < bytes;
}

}  // namespace pic2pnm

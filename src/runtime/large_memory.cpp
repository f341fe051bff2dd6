#include "runtime/large_memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pic2pnm {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define PIC2PNM_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIC2PNM_ADDRESS_SANITIZER 1
#endif
#endif

// Below this the C library's allocator is as good, and sanitizers see every byte. Under
// AddressSanitizer every block comes from the C library, so that no overrun goes unseen.
#ifdef PIC2PNM_ADDRESS_SANITIZER
constexpr size_t MappedThreshold = SIZE_MAX;
#else
constexpr size_t MappedThreshold = 64u << 10;
#endif

// Mapped blocks are whole, aligned huge pages: a picture of a megabyte then costs one page
// fault instead of hundreds, and on a virtual machine each of those is dear.
constexpr size_t HugePage = 2u << 20;

size_t MappedSize(size_t bytes) {
    return (bytes + HugePage - 1) / HugePage * HugePage;
}

}  // namespace

void* AllocateLargeZeroed(size_t bytes) noexcept {
    // Sizes this close to the end of the address space would wrap around below.
    if (bytes > SIZE_MAX - 2 * HugePage) return nullptr;
    if (bytes < MappedThreshold) return std::calloc(bytes == 0 ? 1 : bytes, 1);
    const size_t size = MappedSize(bytes);
    // Ask for one huge page more than needed, then give back what lies outside the aligned
    // part.
    void* mapping = ::mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(mapping);
    const uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
    if (aligned > start) ::munmap(mapping, aligned - start);
    const uintptr_t end = start + size + HugePage;
    if (end > aligned + size)
        ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
}

void* GrowLargeZeroed(void* block, size_t oldBytes, size_t newBytes, size_t keepBytes) noexcept {
    if (block != nullptr && oldBytes >= MappedThreshold && newBytes >= oldBytes &&
        newBytes <= SIZE_MAX - 2 * HugePage) {
        // The pages past `keepBytes` may hold old bytes: the caller kept none of them.
        void* grown = ::mremap(block, MappedSize(oldBytes), MappedSize(newBytes), MREMAP_MAYMOVE);
        if (grown == MAP_FAILED) return nullptr;
        const size_t dirty = MappedSize(oldBytes) - keepBytes;
        std::memset(static_cast<uint8_t*>(grown) + keepBytes, 0, dirty);
        return grown;
    }
    void* bigger = AllocateLargeZeroed(newBytes);
    if (bigger == nullptr) return nullptr;
    if (keepBytes > 0) std::memcpy(bigger, block, keepBytes);
    FreeLarge(block, oldBytes);
    return bigger;
}

void ReturnFreedPicturesToTheSystem() noexcept {
    // A fixed threshold also stops the C library from raising it after each large free,
    // which would put the next picture of the same size on the heap.
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    OneHeapForEveryThread();
}

void OneHeapForEveryThread() noexcept {
    ::mallopt(M_ARENA_MAX, 1);
}

void FreeLarge(void* block, size_t bytes) noexcept {
    if (block == nullptr) return;
    if (bytes < MappedThreshold)
        std::free(block);
    else
        ::munmap(block, MappedSize(bytes));
}

bool AddressSpaceAvailable(uint64_t bytes) noexcept {
    if (bytes == 0) return true;
    if (bytes > SIZE_MAX) return false;
    void* reserved = ::mmap(nullptr, static_cast<size_t>(bytes), PROT_NONE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED) return false;
    ::munmap(reserved, static_cast<size_t>(bytes));
    return true;
}

}  // namespace pic2pnm

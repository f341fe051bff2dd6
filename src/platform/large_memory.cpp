#include "platform/large_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

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
constexpr size_t MappedThreshold = 4u << 20;
#endif

}  // namespace

void* AllocateLargeZeroed(size_t bytes) noexcept {
    if (bytes < MappedThreshold) return std::calloc(bytes == 0 ? 1 : bytes, 1);
    void* block =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    ::madvise(block, bytes, MADV_HUGEPAGE);
#endif
    return block;
}

void FreeLarge(void* block, size_t bytes) noexcept {
    if (block == nullptr) return;
    if (bytes < MappedThreshold)
        std::free(block);
    else
        ::munmap(block, bytes);
}

}  // namespace pic2pnm

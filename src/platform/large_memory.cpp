#include "platform/large_memory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace pic2pnm {
namespace {

// Below this the C library's allocator is as good, and sanitizers see every byte.
constexpr size_t MappedThreshold = 4u << 20;

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

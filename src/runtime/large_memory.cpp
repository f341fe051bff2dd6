#include "runtime/large_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

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

// A whole, aligned mapping of `size` bytes (a multiple of HugePage), every byte 0; null when
// memory runs out.
void* MapAligned(size_t size) {
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

// The last mapped block given back stays mapped until the next large block is asked for,
// which takes it over. On a virtual machine a page the host has taken back costs over a
// millisecond a megabyte to fault in again, twenty times what clearing a mapped one costs;
// and the program gives back the file's bytes just before it asks for the extracted pixels.
// Every request takes the kept block or unmaps it first, so no more memory is held at once
// than if it had been unmapped when given back.
struct KeptBlock {
    std::mutex lock;
    void* block = nullptr;
    size_t size = 0;  // mapped bytes
};

KeptBlock& Kept() {
    static KeptBlock kept;
    return kept;
}

std::pair<void*, size_t> TakeKept() {
    KeptBlock& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    return {std::exchange(kept.block, nullptr), std::exchange(kept.size, 0)};
}

void Keep(void* block, size_t size) {
    KeptBlock& kept = Kept();
    void* previous = nullptr;
    size_t previousSize = 0;
    {
        std::lock_guard<std::mutex> guard(kept.lock);
        previous = std::exchange(kept.block, block);
        previousSize = std::exchange(kept.size, size);
    }
    if (previous != nullptr) ::munmap(previous, previousSize);
}

// A zeroed, aligned mapping of `size` bytes made from the kept block; null when there is none
// or it cannot be reshaped, the kept block then given back.
void* ReuseKept(size_t size) {
    const auto [block, keptSize] = TakeKept();
    if (block == nullptr) return nullptr;
    auto* bytes = static_cast<uint8_t*>(block);
    if (keptSize >= size) {
        if (keptSize > size) ::munmap(bytes + size, keptSize - size);
        std::memset(bytes, 0, size);
        return block;
    }
    // Moved onto a fresh aligned range of the whole size: the pages it had come along, the
    // rest are new zero pages.
    void* target = MapAligned(size);
    if (target == nullptr) {
        ::munmap(block, keptSize);
        return nullptr;
    }
    void* moved = ::mremap(block, keptSize, size, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (moved == MAP_FAILED) {
        ::munmap(block, keptSize);
        ::munmap(target, size);
        return nullptr;
    }
    std::memset(moved, 0, keptSize);
    return moved;
}

}  // namespace

void* AllocateLargeZeroed(size_t bytes) noexcept {
    // Sizes this close to the end of the address space would wrap around below.
    if (bytes > SIZE_MAX - 2 * HugePage) return nullptr;
    if (bytes < MappedThreshold) return std::calloc(bytes == 0 ? 1 : bytes, 1);
    const size_t size = MappedSize(bytes);
    if (void* reused = ReuseKept(size)) return reused;
    return MapAligned(size);
}

void* GrowLargeZeroed(void* block, size_t oldBytes, size_t newBytes, size_t keepBytes) noexcept {
    if (block != nullptr && oldBytes >= MappedThreshold && newBytes >= oldBytes &&
        newBytes <= SIZE_MAX - 2 * HugePage) {
        ReleaseKeptBlock();
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

void FreeLarge(void* block, size_t bytes) noexcept {
    if (block == nullptr) return;
    if (bytes < MappedThreshold)
        std::free(block);
    else
        Keep(block, MappedSize(bytes));
}

void ReleaseKeptBlock() noexcept {
    const auto [block, size] = TakeKept();
    if (block != nullptr) ::munmap(block, size);
}

}  // namespace pic2pnm

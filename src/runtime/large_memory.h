// Memory for whole pictures and whole files. Large blocks come straight from the operating
// system as zero pages, backed by huge pages where it allows them, so that filling them costs
// a few hundred page faults instead of tens of thousands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace pic2pnm {

// A block of `bytes` bytes, every byte 0; null when memory runs out.
void* AllocateLargeZeroed(size_t bytes) noexcept;
// A block of `newBytes` bytes holding the first `keepBytes` of `block` (a block of `oldBytes`
// from AllocateLargeZeroed, given back on success), the rest zero; null when memory runs out,
// `block` then untouched. Mapped blocks grow in place or move without a copy, so the old and
// the new never both take memory.
void* GrowLargeZeroed(void* block, size_t oldBytes, size_t newBytes, size_t keepBytes) noexcept;
// Gives back a block from AllocateLargeZeroed; `bytes` is the size it was asked for.
void FreeLarge(void* block, size_t bytes) noexcept;

// True when `bytes` of address space can be had now: reserved without memory behind it, then
// given back. For a library that cannot fail cleanly when an allocation fails, asked before it
// starts; under an address-space limit it tells whether the library's need fits.
bool AddressSpaceAvailable(uint64_t bytes) noexcept;

// From now on the C library maps every block of a mebibyte or more on its own and unmaps it
// when it is freed, and keeps the blocks of every thread in one arena. Codec libraries that
// allocate their pictures with malloc then give them back to the system when they are done
// with them, instead of leaving the heap at its highest, and a thread of theirs reserves no
// arena of its own: what they hold stays within the picture's budget.
void ReturnFreedPicturesToTheSystem() noexcept;

// Makes every thread of the process allocate from the one heap. A thread that allocates
// otherwise reserves an arena of its own, 64 MiB of address space that is never given back:
// within an address-space limit of the picture's budget, that alone can make the output's
// buffers fail. Called before the process starts a thread of its own.
void OneHeapForEveryThread() noexcept;

// One block from AllocateLargeZeroed that gives itself back; empty (no data, size 0) when
// none was asked for or memory ran out. The one owner of large blocks that outlive a call.
class LargeBlock {
  public:
    LargeBlock() = default;
    explicit LargeBlock(size_t bytes) noexcept
        : data_(AllocateLargeZeroed(bytes)), size_(data_ != nullptr ? bytes : 0) {}
    ~LargeBlock() { FreeLarge(data_, size_); }
    LargeBlock(const LargeBlock&) = delete;
    LargeBlock& operator=(const LargeBlock&) = delete;
    LargeBlock(LargeBlock&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    LargeBlock& operator=(LargeBlock&& other) noexcept {
        LargeBlock(std::move(other)).Swap(*this);
        return *this;
    }
    void Swap(LargeBlock& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
    }

    void* Data() const { return data_; }
    size_t Size() const { return size_; }

    // Grows to `bytes` (GrowLargeZeroed) keeping the first `keepBytes`; false when memory runs
    // out, the block then as it was.
    bool Grow(size_t bytes, size_t keepBytes) noexcept {
        void* bigger = GrowLargeZeroed(data_, size_, bytes, keepBytes);
        if (bigger == nullptr) return false;
        data_ = bigger;
        size_ = bytes;
        return true;
    }

  private:
    void* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace pic2pnm

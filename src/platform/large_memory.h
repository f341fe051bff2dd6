// Memory for whole pictures and whole files. Large blocks come straight from the operating
// system as zero pages, backed by huge pages where it allows them, so that filling them costs
// a few hundred page faults instead of tens of thousands.
#pragma once

#include <cstddef>

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

}  // namespace pic2pnm

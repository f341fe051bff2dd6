// Memory for whole pictures and whole files. Large blocks come straight from the operating
// system as zero pages, backed by huge pages where it allows them, so that filling them costs
// a few hundred page faults instead of tens of thousands.
#pragma once

#include <cstddef>

namespace pic2pnm {

// A block of `bytes` bytes, every byte 0; null when memory runs out.
void* AllocateLargeZeroed(size_t bytes) noexcept;
// Gives back a block from AllocateLargeZeroed; `bytes` is the size it was asked for.
void FreeLarge(void* block, size_t bytes) noexcept;

}  // namespace pic2pnm

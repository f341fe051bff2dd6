// The pixels of a picture as 32-bit values, bottom row first, rows without gaps: element
// Width * r + c is column c of row r counted from the bottom. Blue is in bits 0-7, green in
// 8-15 and red in 16-23; bits 24-31 are never read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "runtime/large_memory.h"

namespace pic2pnm {

class PixelBuffer {
  public:
    PixelBuffer() = default;
    PixelBuffer(PixelBuffer&& other) noexcept
        : block_(std::move(other.block_)), count_(std::exchange(other.count_, 0)) {}
    PixelBuffer& operator=(PixelBuffer&& other) noexcept {
        block_ = std::move(other.block_);
        count_ = std::exchange(other.count_, 0);
        return *this;
    }

    // Discards the contents and makes elements 0 to upperBound, all 0. Raises 7 when memory
    // runs out.
    void ReDim(int32_t upperBound);
    // The highest index, -1 when empty.
    int32_t UBound() const { return static_cast<int32_t>(count_) - 1; }
    size_t Count() const { return count_; }
    int32_t* Data() { return static_cast<int32_t*>(block_.Data()); }
    const int32_t* Data() const { return static_cast<const int32_t*>(block_.Data()); }
    int32_t operator[](size_t index) const { return Data()[index]; }

  private:
    LargeBlock block_;
    size_t count_ = 0;
};

}  // namespace pic2pnm

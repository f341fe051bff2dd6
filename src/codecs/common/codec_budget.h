// The memory a picture may cost while it is decoded: 9 bytes a pixel of the picture the file
// states (the pixel store's 4 among them) and a fixed allowance for headers, tables and the
// decoder's own state. Every decoder that bounds what a file may ask for measures against
// these, so that no file costs more than its picture.
#pragma once

#include <cstdint>

namespace pic2pnm::codecs {

inline constexpr uint64_t BudgetBytesPerPixel = 9;
inline constexpr uint64_t BudgetAllowanceBytes = uint64_t{16} << 20;

// a + b, or UINT64_MAX when that does not fit.
constexpr uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// a * b, or UINT64_MAX when that does not fit.
constexpr uint64_t SaturatingMultiply(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// The whole budget of a picture of `pixels` pixels.
constexpr uint64_t DecodeBudgetBytes(uint64_t pixels) {
    return SaturatingAdd(SaturatingMultiply(pixels, BudgetBytesPerPixel), BudgetAllowanceBytes);
}

}  // namespace pic2pnm::codecs

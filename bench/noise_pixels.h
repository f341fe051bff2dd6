// Random colours for the benchmarks that do not decode a file: every value text length and
// every branch of the writers gets its share, as in a real photograph's noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

namespace pic2pnm::bench {

// Fills `count` 32-bit pixels with random colours (bits 0-23) from a fixed seed, so that
// every run measures the same work.
inline void FillWithNoise(uint32_t* pixels, size_t count) {
    std::mt19937 generator(20240611);
    for (size_t i = 0; i < count; ++i) pixels[i] = generator() & 0xFFFFFFu;
}

}  // namespace pic2pnm::bench

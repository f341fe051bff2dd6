// Start-up shared by every fuzz target: pictures above a million pixels are refused as too
// large, so that the fuzzer spends its time on decoding rather than on huge allocations.
#include <cstdint>

#include "codecs/common/pixel_store.h"
#include "testing/testing_hooks.h"

namespace {
// 4 MB of pixels at most: blocks that large come straight from the operating system instead of
// the C library (large_memory.cpp), and AddressSanitizer would not see a write past their end.
constexpr int64_t kFuzzPixelCap = 1000 * 1000;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    pic2pnm::SetPixelCountCapForFuzzing(kFuzzPixelCap);
    return 0;
}

// Start-up shared by every fuzz target: pictures above a few million pixels are refused as too
// large, so that the fuzzer spends its time on decoding rather than on huge allocations.
#include <cstdint>

#include "platform/pixel_store.h"

namespace {
constexpr int64_t kFuzzPixelCap = 16 * 1000 * 1000;
}

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    pic2pnm::SetPixelCountCapForFuzzing(kFuzzPixelCap);
    return 0;
}

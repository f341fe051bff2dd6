// WebP files: lossy, lossless, with alpha, animated.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return pic2pnm::fuzzing::FuzzRow("webp", data, size);
}

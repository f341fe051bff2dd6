// JPEG files: baseline and progressive, every colour space the decoder reads.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return pic2pnm::fuzzing::FuzzRow("jpeg", data, size);
}

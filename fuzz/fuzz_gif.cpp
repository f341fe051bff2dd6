// GIF files: the first image on its logical screen.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return pic2pnm::fuzzing::FuzzRow("gif", data, size);
}

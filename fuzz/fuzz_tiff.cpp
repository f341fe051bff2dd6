// TIFF files: the first page through libtiff's in-memory reader.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return pic2pnm::fuzzing::FuzzRow("tiff", data, size);
}

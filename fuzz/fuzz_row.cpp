// One row of the codec registry, named by PIC2PNM_FUZZ_ROW: the build compiles this file once
// for every format in src/codecs/formats.txt, as fuzz_<name>.
#include "fuzz_checks.h"

#ifndef PIC2PNM_FUZZ_ROW
#error "PIC2PNM_FUZZ_ROW names the registry row (fuzz/CMakeLists.txt)"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return pic2pnm::fuzzing::FuzzRow(PIC2PNM_FUZZ_ROW, data, size);
}

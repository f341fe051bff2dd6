// Every row of the codec registry on the same input, so that a format added as a row is fuzzed
// from its first day, and no decoder claims another's file.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    for (const codecs::CodecEntry& row : codecs::CodecRegistry())
        fuzzing::CheckRow(row, fuzzing::ViewOf(data, size));
    return 0;
}

// Anything as TGA, which has no signature: only a wholly consistent file may decode.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodeTga(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

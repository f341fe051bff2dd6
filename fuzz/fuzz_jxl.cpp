// JPEG XL files, through libjxl: codestreams and containers, still and animated.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodeJxl(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

// QOI pictures: chunks, runs and the end marker.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodeQoi(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

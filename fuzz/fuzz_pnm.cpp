// Netpbm pictures of every kind (P1-P7), first picture only.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodePnm(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

// WebP files: lossy, lossless, with alpha, animated.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodeWebp(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

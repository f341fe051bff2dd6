// AVIF files, through libheif: stills, grids, alpha, rotated and cropped.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodeAvif(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

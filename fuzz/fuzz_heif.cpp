// HEIF files (HEIC and image files of no particular codec), through libheif.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodeHeif(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

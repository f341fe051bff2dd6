// GIF files: the first image on its logical screen.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    codecs::DecodedPicture picture;
    fuzzing::CheckPicture(codecs::DecodeGif(fuzzing::ViewOf(data, size), picture), picture);
    return 0;
}

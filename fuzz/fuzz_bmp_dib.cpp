// The bytes of a BMP file after its 14-byte file header as a headerless DIB, both as a picture
// and as an icon image (the BMP file itself is fuzz_bmp, the registry's row).
#include "codecs/bmp/bmp.h"
#include "fuzz_checks.h"

namespace {
constexpr size_t FileHeaderSize = 14;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    const codecs::FileView file = fuzzing::ViewOf(data, size);
    if (size > FileHeaderSize) {
        const codecs::FileView dib = file.subspan(FileHeaderSize);
        for (bool iconImage : {false, true}) {
            codecs::DecodedPicture picture;
            fuzzing::CheckPicture(codecs::DecodeDib(dib, iconImage, fuzzing::FuzzLimits, picture),
                                  picture);
        }
    }
    return 0;
}

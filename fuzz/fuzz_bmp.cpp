// BMP files, and the same bytes after the 14-byte file header as a headerless DIB, both as a
// picture and as an icon image.
#include "fuzz_checks.h"

namespace {
constexpr size_t kFileHeaderSize = 14;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    const codecs::FileView file = fuzzing::ViewOf(data, size);
    {
        codecs::DecodedPicture picture;
        fuzzing::CheckPicture(codecs::DecodeBmp(file, picture), picture);
    }
    if (size > kFileHeaderSize) {
        const codecs::FileView dib = file.subspan(kFileHeaderSize);
        for (bool iconImage : {false, true}) {
            codecs::DecodedPicture picture;
            fuzzing::CheckPicture(codecs::DecodeDib(dib, iconImage, picture), picture);
        }
    }
    return 0;
}

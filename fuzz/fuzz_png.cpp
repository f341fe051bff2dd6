// PNG files, decoded both ways: our own row decoder (with libspng for what it leaves) and
// libspng alone must agree on the outcome and on every pixel.
#include <cstring>

#include "fuzz_checks.h"
#include "platform/codecs/png_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    using codecs::PngRowPath;
    const codecs::FileView file = fuzzing::ViewOf(data, size);
    codecs::DecodedPicture direct;
    const codecs::CodecStatus status =
        codecs::DecodePngUsing(file, direct, PngRowPath::DirectFirst);
    fuzzing::CheckPicture(status, direct);
    codecs::DecodedPicture library;
    fuzzing::Require(codecs::DecodePngUsing(file, library, PngRowPath::Library) == status);
    if (status != codecs::CodecStatus::Ok) return 0;
    fuzzing::Require(direct.width == library.width && direct.height == library.height);
    fuzzing::Require(direct.bitsPerPixel == library.bitsPerPixel &&
                     direct.pixelFormat == library.pixelFormat &&
                     direct.hasAlpha == library.hasAlpha);
    fuzzing::Require(std::memcmp(direct.pixels->Data(), library.pixels->Data(),
                                 direct.pixels->PixelCount() * sizeof(uint32_t)) == 0);
    return 0;
}

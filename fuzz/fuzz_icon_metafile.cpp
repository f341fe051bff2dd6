// Icons and cursors as the native loader keeps them, and the headers of placeable and enhanced
// metafiles (icons as a picture are fuzz_icon, the registry's row).
#include "codecs/icon/icon.h"
#include "codecs/metafile/metafile.h"
#include "fuzz_checks.h"

namespace {

using namespace pic2pnm;

// An icon that decoded: a mask as wide as the icon, and either a colour bitmap of the icon's
// size with a mask of the same height, or (monochrome) no colour bitmap and a mask twice as
// high that holds the XOR image below the AND mask.
void CheckIcon(codecs::CodecResult result, const codecs::DecodedIcon& icon) {
    fuzzing::CheckStatus(result);
    if (!result.IsOk()) return;
    if (icon.color) {
        fuzzing::CheckStore(icon.color, icon.width, icon.height);
        fuzzing::CheckStore(icon.mask, icon.width, icon.height);
    } else {
        fuzzing::Require(icon.imageBits == 1);
        fuzzing::Require(icon.height <= INT32_MAX / 2);
        fuzzing::CheckStore(icon.mask, icon.width, icon.height * 2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const codecs::FileView file = fuzzing::ViewOf(data, size);
    {
        codecs::DecodedIcon icon;
        CheckIcon(codecs::DecodeIcon(file, fuzzing::FuzzLimits, icon), icon);
    }
    {
        codecs::PlaceableWmfHeader header;
        fuzzing::CheckStatus(codecs::ParsePlaceableWmf(file, header));
    }
    {
        codecs::EmfHeader header;
        fuzzing::CheckStatus(codecs::ParseEmfHeader(file, header));
    }
    return 0;
}

// The QOI row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/qoi/qoi.h"

namespace pic2pnm::codecs::qoi {

extern constinit const CodecEntry Codec{
    .name = "qoi",
    .looksLike = LooksLikeQoi,
    .decode = DecodeQoi,
    // Not one of GDI+'s own formats: an identifier of ours, chosen at random once, named
    // "Unknown" in the picture information.
    .rawFormat = {0x59B5AAF6, 0x8656, 0x4F2A, {0xAB, 0x22, 0xD2, 0x05, 0x39, 0xD0, 0xC5, 0xE7}},
};

}  // namespace pic2pnm::codecs::qoi

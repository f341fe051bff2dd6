// The Netpbm row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/pnm/pnm.h"

namespace pic2pnm::codecs::pnm {

extern constinit const CodecEntry Codec{
    .name = "pnm",
    .looksLike = LooksLikePnm,
    .decode = DecodePnm,
    // Not one of GDI+'s own formats: an identifier of ours, chosen at random once, named
    // "Unknown" in the picture information.
    .rawFormat = {0x47C01F76, 0xEF03, 0x48F9, {0xA5, 0x3F, 0x67, 0xFC, 0x42, 0xD5, 0x01, 0x18}},
};

}  // namespace pic2pnm::codecs::pnm

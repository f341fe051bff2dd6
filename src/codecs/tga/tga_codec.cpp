// The TGA row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/tga/tga.h"

namespace pic2pnm::codecs::tga {

extern constinit const CodecEntry Codec{
    .name = "tga",
    .looksLike = LooksLikeTga,
    .decode = DecodeTga,
    // Not one of GDI+'s own formats: an identifier of ours, chosen at random once, named
    // "Unknown" in the picture information.
    .rawFormat = {0x27F0F335, 0x3FE0, 0x4C54, {0xBA, 0x25, 0x3D, 0x01, 0x83, 0xFD, 0x22, 0x34}},
};

}  // namespace pic2pnm::codecs::tga

// The AVIF row of the codec registry.
#include "codecs/avif/avif.h"
#include "codecs/common/codec_registry.h"
#include "codecs/heif/heif_library.h"

namespace pic2pnm::codecs::avif {

extern constinit const CodecEntry Codec{
    .name = "avif",
    .looksLike = LooksLikeAvif,
    .decode = DecodeAvif,
    // Not one of GDI+'s own formats: an identifier of ours, chosen at random once, named
    // "Unknown" in the picture information.
    .rawFormat = {0xC23B6206, 0xBFFC, 0x4974, {0x93, 0x44, 0xEA, 0x05, 0x96, 0x82, 0x1B, 0x6F}},
    .library = {.open = OpenHeifLibraries, .without = WithoutLibrary::NotImplemented},
};

}  // namespace pic2pnm::codecs::avif

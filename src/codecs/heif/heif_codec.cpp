// The HEIF row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/heif/heif.h"
#include "codecs/heif/heif_library.h"

namespace pic2pnm::codecs::heif {

extern constinit const CodecEntry Codec{
    .name = "heif",
    .looksLike = LooksLikeHeif,
    .decode = DecodeHeif,
    // Not one of GDI+'s own formats: an identifier of ours, chosen at random once, named
    // "Unknown" in the picture information.
    .rawFormat = {0x2B82B3C9, 0x344A, 0x4092, {0xAF, 0x1B, 0x47, 0x21, 0x68, 0x83, 0x4F, 0xE3}},
    .library = {.open = OpenHeifLibraries, .without = WithoutLibrary::NotImplemented},
};

}  // namespace pic2pnm::codecs::heif

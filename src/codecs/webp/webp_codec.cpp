// The WebP row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/webp/webp.h"
#include "codecs/webp/webp_library.h"

namespace pic2pnm::codecs::webp {

extern constinit const CodecEntry Codec{
    .name = "webp",
    .looksLike = LooksLikeWebp,
    .decode = DecodeWebp,
    // WebP has no identifier among GDI+'s own; this one is ours, chosen at random once. It is
    // named "Unknown" in the picture information.
    .rawFormat = {0x4583D9BD, 0x0C09, 0x4302, {0x8F, 0xDD, 0x3E, 0xFB, 0x7D, 0xA2, 0x7E, 0x1A}},
    .library = {.open = [] { return WebP() != nullptr; }},
};

}  // namespace pic2pnm::codecs::webp

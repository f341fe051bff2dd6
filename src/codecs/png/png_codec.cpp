// The PNG row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/png/png.h"
#include "codecs/png/png_library.h"

namespace pic2pnm::codecs::png {

extern constinit const CodecEntry Codec{
    .name = "png",
    .looksLike = LooksLikePng,
    .decode = DecodePng,
    .rawFormat = ImageFormatId(0xB96B3CAF),
    .library = {.open = [] { return Deflate() != nullptr; }, .without = WithoutLibrary::Slower},
    .decodeInPlace = DecodePngInPlace,
};

}  // namespace pic2pnm::codecs::png

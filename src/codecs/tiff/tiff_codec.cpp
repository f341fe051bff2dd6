// The TIFF row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/tiff/tiff.h"
#include "codecs/tiff/tiff_library.h"

namespace pic2pnm::codecs::tiff {

extern constinit const CodecEntry Codec{
    .name = "tiff",
    .looksLike = LooksLikeTiff,
    .decode = DecodeTiff,
    .rawFormat = ImageFormatId(0xB96B3CB1),
    .library = {.open = [] { return Tiff() != nullptr; }},
};

}  // namespace pic2pnm::codecs::tiff

// The GIF row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/gif/gif.h"
#include "codecs/gif/gif_library.h"

namespace pic2pnm::codecs::gif {

extern constinit const CodecEntry Codec{
    .name = "gif",
    .looksLike = LooksLikeGif,
    .decode = DecodeGif,
    .rawFormat = ImageFormatId(0xB96B3CB0),
    .nativeBitmap = true,
    .library = {.open = [] { return Gif() != nullptr; }},
};

}  // namespace pic2pnm::codecs::gif

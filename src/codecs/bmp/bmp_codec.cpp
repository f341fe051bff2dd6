// The BMP row of the codec registry.
#include "codecs/bmp/bmp.h"
#include "codecs/common/codec_registry.h"

namespace pic2pnm::codecs::bmp {

extern constinit const CodecEntry Codec{
    .name = "bmp",
    .looksLike = LooksLikeBmp,
    .decode = DecodeBmp,
    .rawFormat = ImageFormatId(0xB96B3CAB),
    .nativeBitmap = true,
};

}  // namespace pic2pnm::codecs::bmp

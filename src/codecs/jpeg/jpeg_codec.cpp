// The JPEG row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_library.h"

namespace pic2pnm::codecs::jpeg {

extern constinit const CodecEntry Codec{
    .name = "jpeg",
    .looksLike = LooksLikeJpeg,
    .decode = DecodeJpeg,
    .rawFormat = ImageFormatId(0xB96B3CAE),
    .nativeBitmap = true,
    .library = {.open = [] { return TurboJpeg() != nullptr; }},
};

}  // namespace pic2pnm::codecs::jpeg

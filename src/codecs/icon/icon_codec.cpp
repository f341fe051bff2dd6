// The icon and cursor row of the codec registry: GDI+ reads the chosen image as a picture, PNG
// images included (whose inflating libdeflate speeds up).
#include "codecs/common/codec_registry.h"
#include "codecs/icon/icon.h"
#include "codecs/png/png_library.h"

namespace pic2pnm::codecs::icon {

extern constinit const CodecEntry Codec{
    .name = "icon",
    .looksLike = LooksLikeIcon,
    .decode = DecodeIconAsPicture,
    .rawFormat = ImageFormatId(0xB96B3CB5),
    .library = {.open = [] { return Deflate() != nullptr; }, .without = WithoutLibrary::Slower},
};

}  // namespace pic2pnm::codecs::icon

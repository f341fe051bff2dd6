// The JPEG XL row of the codec registry.
#include "codecs/common/codec_registry.h"
#include "codecs/jxl/jxl.h"
#include "codecs/jxl/jxl_library.h"

namespace pic2pnm::codecs::jxl {

extern constinit const CodecEntry Codec{
    .name = "jxl",
    .looksLike = LooksLikeJxl,
    .decode = DecodeJxl,
    // Not one of GDI+'s own formats: an identifier of ours, chosen at random once, named
    // "Unknown" in the picture information.
    .rawFormat = {0xB54AAB35, 0xD855, 0x494B, {0xB3, 0x9C, 0xF6, 0x2A, 0x75, 0xF9, 0x83, 0xD0}},
    .library = {.open = [] { return Jxl() != nullptr; }, .without = WithoutLibrary::NotImplemented},
};

}  // namespace pic2pnm::codecs::jxl

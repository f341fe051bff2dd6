// AVIF pictures through libheif, as HEIF ones are.
#include "codecs/avif/avif.h"
#include "codecs/heif/heif_brands.h"
#include "codecs/heif/heif_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeAvif(FileView file) {
    return HeifKindOf(file) == HeifKind::Avif;
}

CodecStatus DecodeAvif(FileView file, DecodedPicture& out) {
    if (!LooksLikeAvif(file)) return CodecStatus::NotMyFormat;
    return DecodeWithLibheif(file, out);
}

}  // namespace pic2pnm::codecs

// AVIF pictures through libheif, as HEIF ones are.
#include "platform/codecs/codecs.h"
#include "platform/codecs/heif_brands.h"
#include "platform/codecs/heif_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeAvif(FileView file) {
    return HeifKindOf(file) == HeifKind::Avif;
}

CodecStatus DecodeAvif(FileView file, DecodedPicture& out) {
    if (!LooksLikeAvif(file)) return CodecStatus::NotMyFormat;
    return DecodeWithLibheif(file, out);
}

}  // namespace pic2pnm::codecs

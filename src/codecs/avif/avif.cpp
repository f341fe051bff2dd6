// AVIF pictures through libheif, as HEIF ones are.
#include "codecs/avif/avif.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/heif/heif_brands.h"
#include "codecs/heif/heif_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeAvif(FileView file) {
    return HeifKindOf(file) == HeifKind::Avif;
}

CodecResult DecodeAvif(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeAvif(file)) return Refuse("avif: no AVIF brand");
    return DecodeWithLibheif(file, limits, out);
}

}  // namespace pic2pnm::codecs

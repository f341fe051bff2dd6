// HEIF pictures (HEIC and image files of no particular codec) through libheif.
#include "codecs/heif/heif.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/heif/heif_brands.h"
#include "codecs/heif/heif_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeHeif(FileView file) {
    return HeifKindOf(file) == HeifKind::Heif;
}

CodecResult DecodeHeif(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeHeif(file)) return Refuse("heif: no HEIF brand");
    return DecodeWithLibheif(file, limits, out);
}

}  // namespace pic2pnm::codecs

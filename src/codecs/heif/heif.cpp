// HEIF pictures (HEIC and image files of no particular codec) through libheif.
#include "codecs/heif/heif.h"
#include "codecs/heif/heif_brands.h"
#include "codecs/heif/heif_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeHeif(FileView file) {
    return HeifKindOf(file) == HeifKind::Heif;
}

CodecStatus DecodeHeif(FileView file, DecodedPicture& out) {
    if (!LooksLikeHeif(file)) return CodecStatus::NotMyFormat;
    return DecodeWithLibheif(file, out);
}

}  // namespace pic2pnm::codecs

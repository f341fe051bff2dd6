// AVIF files, through libheif.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeAvif(FileView file);

// AVIF through libheif: Unsupported when the library, or the AV1 decoder, is not installed.
CodecResult DecodeAvif(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

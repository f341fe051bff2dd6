// WebP files, through libwebp.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeWebp(FileView file);

CodecResult DecodeWebp(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

// HEIF files, through libheif.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeHeif(FileView file);  // HEIC, or an image file of no particular codec

// HEIF through libheif: Unsupported when the library, or the codec the file needs, is not
// installed.
CodecResult DecodeHeif(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

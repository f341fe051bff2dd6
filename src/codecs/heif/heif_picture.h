// The decoding HEIF and AVIF share: both go through libheif, so they behave alike.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// The primary image of a file of the HEIF family; Unsupported when libheif is not installed
// or has no decoder for the file's codec.
CodecResult DecodeWithLibheif(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

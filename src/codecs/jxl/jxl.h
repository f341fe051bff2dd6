// JPEG XL files, through libjxl.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeJxl(FileView file);  // a bare codestream or the container

// JPEG XL through libjxl: Unsupported when the library is not installed.
CodecResult DecodeJxl(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

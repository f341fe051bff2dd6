// TIFF files, through libtiff.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeTiff(FileView file);

// First page of a TIFF, as libtiff reads it as RGBA.
CodecResult DecodeTiff(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

// GIF files, through giflib.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeGif(FileView file);

// First image of a GIF on its logical screen; transparent and uncovered pixels are black
// with alpha 0.
CodecResult DecodeGif(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

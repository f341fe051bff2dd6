// QOI files, read by our own decoder.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeQoi(FileView file);

// Our own QOI decoder, RGB and RGBA; the end marker must follow the last pixel.
CodecResult DecodeQoi(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

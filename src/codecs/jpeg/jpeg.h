// JPEG files, through libturbojpeg.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeJpeg(FileView file);

// Baseline and progressive JPEG, greyscale, RGB, CMYK and YCCK, all as RGB.
CodecResult DecodeJpeg(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

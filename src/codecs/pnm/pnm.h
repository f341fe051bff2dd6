// Netpbm files, read by our own decoder.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikePnm(FileView file);  // "P1" to "P7", then whitespace or a comment

// Our own Netpbm decoder: P1-P6 plain and raw, any maxval, and PAM (P7) of the black-and-
// white, grey and RGB tuple types with or without alpha; the first image of the file.
CodecResult DecodePnm(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

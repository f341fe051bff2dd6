// TGA files, read by our own decoder.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// TGA has no signature: true when the whole file is a consistent TGA, which takes a decode.
bool LooksLikeTga(FileView file);

// Our own TGA decoder: types 1, 2, 3, 9, 10 and 11. With no signature to go by, anything
// but a wholly consistent file whose data is all there is NotMyFormat.
CodecResult DecodeTga(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

// WebP files, through libwebp.
#pragma once

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeWebp(FileView file);

CodecStatus DecodeWebp(FileView file, DecodedPicture& out);

}  // namespace pic2pnm::codecs

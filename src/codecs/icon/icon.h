// Icons and cursors (ICO, CUR).
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/codecs.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeIcon(FileView file);  // ICO or CUR

// The entry a viewer would show (largest, then deepest), when its image is in BMP format.
// An icon whose chosen image is PNG is not decoded here (NotMyFormat).
CodecResult DecodeIcon(FileView file, const DecodeLimits& limits, DecodedIcon& out);
// The same entry as a picture with alpha (from its alpha channel or its AND mask); PNG
// images included. For GDI+.
CodecResult DecodeIconAsPicture(FileView file, const DecodeLimits& limits, DecodedPicture& out);

}  // namespace pic2pnm::codecs

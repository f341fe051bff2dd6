// Whether libheif may be given a HEIF or AVIF file: its item structure read (ReadHeifStructure)
// and checked against what libheif 1.15 trusts. libheif allocates and clears the picture a
// grid or an overlay describes in its own few bytes of data before any tile is decoded,
// whatever the picture's stated size; it reads past its tiles when they differ in size or lie
// at negative offsets; it follows a reference to an item that does not exist onto an
// assertion; and it decodes derived pictures within each other as deep as the file nests them.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// Decoded when libheif may read the file; otherwise why not.
CodecResult CheckHeifItems(FileView file, const HeifLimits& limits);

}  // namespace pic2pnm::codecs

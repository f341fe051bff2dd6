// Which pictures of the HEIF family a file holds, told from the brands of its leading file
// type box, without the library: a file of ours is recognised even where libheif is missing.
#pragma once

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

enum class HeifKind {
    None,  // no file type box, or one naming no brand of still pictures we read
    Heif,  // HEVC pictures (heic, heix, ...) or an image file of no particular codec (mif1)
    Avif,  // AV1 pictures: avif or avis as major brand, or as the only codec brand
};

HeifKind HeifKindOf(FileView file);

}  // namespace pic2pnm::codecs

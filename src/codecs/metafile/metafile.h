// The headers of placeable Windows metafiles and enhanced metafiles, which the native loader
// takes.
#pragma once

#include "codecs/common/codecs.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikePlaceableWmf(FileView file);
bool LooksLikeEmf(FileView file);

CodecResult ParsePlaceableWmf(FileView file, PlaceableWmfHeader& out);
CodecResult ParseEmfHeader(FileView file, EmfHeader& out);

}  // namespace pic2pnm::codecs

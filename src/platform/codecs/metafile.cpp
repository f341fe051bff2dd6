#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikePlaceableWmf(FileView) { return false; }
bool LooksLikeEmf(FileView) { return false; }

CodecStatus ParsePlaceableWmf(FileView, PlaceableWmfHeader&) { return CodecStatus::NotMyFormat; }
CodecStatus ParseEmfHeader(FileView, ENHMETAHEADER&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikePng(FileView) { return false; }

CodecStatus DecodePng(FileView, DecodedPicture&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikeWebp(FileView) { return false; }

CodecStatus DecodeWebp(FileView, DecodedPicture&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikeTiff(FileView) { return false; }

CodecStatus DecodeTiff(FileView, DecodedPicture&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikeGif(FileView) { return false; }

CodecStatus DecodeGif(FileView, DecodedPicture&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

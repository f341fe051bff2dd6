#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikeJpeg(FileView) { return false; }

CodecStatus DecodeJpeg(FileView, DecodedPicture&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikeIcon(FileView) { return false; }

CodecStatus DecodeIcon(FileView, DecodedIcon&) { return CodecStatus::NotMyFormat; }

CodecStatus DecodeIconAsPicture(FileView, DecodedPicture&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

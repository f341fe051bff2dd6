#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {

bool LooksLikeBmp(FileView) { return false; }

CodecStatus DecodeBmp(FileView, DecodedPicture&) { return CodecStatus::NotMyFormat; }

CodecStatus DecodeDib(FileView, bool, DecodedPicture&) { return CodecStatus::NotMyFormat; }

}  // namespace pic2pnm::codecs

#include "codecs/heif/heif_status.h"

namespace pic2pnm::codecs {

CodecStatus StatusOfHeifError(const heif_error& error) {
    if (error.code == heif_error_Ok) return CodecStatus::Ok;
    if (error.code == heif_error_Unsupported_feature &&
        error.subcode == heif_suberror_Unsupported_codec)
        return CodecStatus::Unsupported;
    // libheif reports its size and count limits as allocation errors of their own kind.
    if (error.subcode == heif_suberror_Security_limit_exceeded) return CodecStatus::TooLarge;
    if (error.code == heif_error_Memory_allocation_error) return CodecStatus::OutOfMemory;
    return CodecStatus::Corrupt;
}

}  // namespace pic2pnm::codecs

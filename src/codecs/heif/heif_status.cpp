#include "codecs/heif/heif_status.h"

#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs {

CodecResult ResultOfHeifError(const heif_error& error) {
    if (error.code == heif_error_Ok) return Decoded;
    if (error.code == heif_error_Unsupported_feature &&
        error.subcode == heif_suberror_Unsupported_codec)
        return Refuse("heif: libheif has no decoder for the file's codec");
    // libheif reports its size and count limits as allocation errors of their own kind.
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return Refuse("heif: the file breaks a limit libheif is given");
    if (error.code == heif_error_Memory_allocation_error)
        return Refuse("heif: libheif ran out of memory");
    if (error.subcode == heif_suberror_End_of_data)
        return Refuse("heif: the file ends before the picture does");
    switch (error.code) {
        case heif_error_Invalid_input: return Refuse("heif: libheif finds the file's boxes broken");
        case heif_error_Unsupported_filetype:
            return Refuse("heif: libheif does not know the file's brand");
        case heif_error_Unsupported_feature:
            return Refuse("heif: libheif does not read a feature the file uses");
        case heif_error_Decoder_plugin_error:
            return Refuse("heif: the picture's coded data does not decode");
        default: return Refuse("heif: libheif refused the file");
    }
}

}  // namespace pic2pnm::codecs

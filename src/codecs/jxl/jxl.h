// JPEG XL files, through libjxl.
#pragma once

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeJxl(FileView file);  // a bare codestream or the container

// JPEG XL through libjxl: Unsupported when the library is not installed.
CodecStatus DecodeJxl(FileView file, DecodedPicture& out);

}  // namespace pic2pnm::codecs

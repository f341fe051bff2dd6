// libturbojpeg, which the JPEG decoder opens the first time a JPEG is decoded
// (codecs/common/codec_libraries.h).
#pragma once

#include <turbojpeg.h>

namespace pic2pnm::codecs {

struct TurboJpegLibrary {
    decltype(&tjInitDecompress) InitDecompress;
    decltype(&tjDecompress2) Decompress2;
    decltype(&tjGetErrorCode) GetErrorCode;
    decltype(&tjDestroy) Destroy;
};

const TurboJpegLibrary* TurboJpeg();

}  // namespace pic2pnm::codecs

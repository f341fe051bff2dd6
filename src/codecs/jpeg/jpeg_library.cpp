#include "codecs/jpeg/jpeg_library.h"

#include "codecs/common/codec_libraries.h"

namespace pic2pnm::codecs {
namespace {

TurboJpegLibrary LoadTurboJpeg(bool& complete) {
    TurboJpegLibrary table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("turbojpeg"));
    resolve(table.InitDecompress, "tjInitDecompress");
    resolve(table.Decompress2, "tjDecompress2");
    resolve(table.GetErrorCode, "tjGetErrorCode");
    resolve(table.Destroy, "tjDestroy");
    complete = resolve.Complete();
    return table;
}

}  // namespace

const TurboJpegLibrary* TurboJpeg() {
    return CodecLibraryOnce<TurboJpegLibrary, LoadTurboJpeg>();
}

}  // namespace pic2pnm::codecs

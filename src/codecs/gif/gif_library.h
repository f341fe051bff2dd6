// giflib, which the GIF decoder opens the first time a GIF is decoded
// (codecs/common/codec_libraries.h).
#pragma once

#include <gif_lib.h>

namespace pic2pnm::codecs {

struct GifLibrary {
    decltype(&DGifOpen) Open;
    decltype(&DGifCloseFile) CloseFile;
    decltype(&DGifGetRecordType) GetRecordType;
    decltype(&DGifGetImageDesc) GetImageDesc;
    decltype(&DGifGetLine) GetLine;
    decltype(&DGifGetExtension) GetExtension;
    decltype(&DGifGetExtensionNext) GetExtensionNext;
    decltype(&DGifExtensionToGCB) ExtensionToGCB;
};

const GifLibrary* Gif();

}  // namespace pic2pnm::codecs

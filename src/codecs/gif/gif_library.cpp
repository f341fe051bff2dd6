#include "codecs/gif/gif_library.h"

#include "codecs/common/codec_libraries.h"

namespace pic2pnm::codecs {
namespace {

GifLibrary LoadGif(bool& complete) {
    GifLibrary table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("gif"));
    resolve(table.Open, "DGifOpen");
    resolve(table.CloseFile, "DGifCloseFile");
    resolve(table.GetRecordType, "DGifGetRecordType");
    resolve(table.GetImageDesc, "DGifGetImageDesc");
    resolve(table.GetLine, "DGifGetLine");
    resolve(table.GetExtension, "DGifGetExtension");
    resolve(table.GetExtensionNext, "DGifGetExtensionNext");
    resolve(table.ExtensionToGCB, "DGifExtensionToGCB");
    complete = resolve.Complete();
    return table;
}

}  // namespace

const GifLibrary* Gif() {
    return CodecLibraryOnce<GifLibrary, LoadGif>();
}

}  // namespace pic2pnm::codecs

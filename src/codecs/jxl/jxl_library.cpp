#include "codecs/jxl/jxl_library.h"

#include "codecs/common/codec_libraries.h"

namespace pic2pnm::codecs {
namespace {

JxlLibrary LoadJxl(bool& complete) {
    JxlLibrary table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("jxl"));
    resolve(table.Create, "JxlDecoderCreate");
    resolve(table.Destroy, "JxlDecoderDestroy");
    resolve(table.SubscribeEvents, "JxlDecoderSubscribeEvents");
    resolve(table.SetInput, "JxlDecoderSetInput");
    resolve(table.CloseInput, "JxlDecoderCloseInput");
    resolve(table.ProcessInput, "JxlDecoderProcessInput");
    resolve(table.GetBasicInfo, "JxlDecoderGetBasicInfo");
    resolve(table.SetImageOutCallback, "JxlDecoderSetImageOutCallback");
    resolve(table.SetImageOutBuffer, "JxlDecoderSetImageOutBuffer");
    complete = resolve.Complete();
    return table;
}

}  // namespace

const JxlLibrary* Jxl() {
    return CodecLibraryOnce<JxlLibrary, LoadJxl>();
}

}  // namespace pic2pnm::codecs

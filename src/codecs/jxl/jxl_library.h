// libjxl, which the JPEG XL decoder opens the first time a JPEG XL picture is decoded
// (codecs/common/codec_libraries.h). Without it JPEG XL pictures are not implemented.
#pragma once

#include <jxl/decode.h>

namespace pic2pnm::codecs {

struct JxlLibrary {
    decltype(&JxlDecoderCreate) Create;
    decltype(&JxlDecoderDestroy) Destroy;
    decltype(&JxlDecoderSubscribeEvents) SubscribeEvents;
    decltype(&JxlDecoderSetInput) SetInput;
    decltype(&JxlDecoderCloseInput) CloseInput;
    decltype(&JxlDecoderProcessInput) ProcessInput;
    decltype(&JxlDecoderGetBasicInfo) GetBasicInfo;
    decltype(&JxlDecoderSetImageOutCallback) SetImageOutCallback;
    decltype(&JxlDecoderSetImageOutBuffer) SetImageOutBuffer;
};

const JxlLibrary* Jxl();

}  // namespace pic2pnm::codecs

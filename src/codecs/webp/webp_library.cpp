#include "codecs/webp/webp_library.h"

#include "codecs/common/codec_libraries.h"

namespace pic2pnm::codecs {
namespace {

WebPLibrary LoadWebP(bool& complete) {
    WebPLibrary table{};
    CodecLibrarySymbols decode(OpenCodecLibrary("webp"));
    decode(table.GetInfo, "WebPGetInfo");
    decode(table.GetFeaturesInternal, "WebPGetFeaturesInternal");
    decode(table.InitDecoderConfigInternal, "WebPInitDecoderConfigInternal");
    decode(table.Decode, "WebPDecode");
    decode(table.FreeDecBuffer, "WebPFreeDecBuffer");
    CodecLibrarySymbols demux(OpenCodecLibrary("webpdemux"));
    demux(table.DemuxInternal, "WebPDemuxInternal");
    demux(table.DemuxGetI, "WebPDemuxGetI");
    demux(table.DemuxGetFrame, "WebPDemuxGetFrame");
    demux(table.DemuxReleaseIterator, "WebPDemuxReleaseIterator");
    demux(table.DemuxDelete, "WebPDemuxDelete");
    complete = decode.Complete() && demux.Complete();
    return table;
}

}  // namespace

const WebPLibrary* WebP() {
    return CodecLibraryOnce<WebPLibrary, LoadWebP>();
}

}  // namespace pic2pnm::codecs

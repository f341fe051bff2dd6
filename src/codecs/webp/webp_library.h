// libwebp and libwebpdemux, which the WebP decoder opens the first time a WebP picture is
// decoded (codecs/common/codec_libraries.h).
#pragma once

#include <webp/decode.h>
#include <webp/demux.h>

namespace pic2pnm::codecs {

// The header's inline helpers (WebPGetFeatures, WebPInitDecoderConfig, WebPDemux) call these
// with the interface version the program was built with; GetFeatures, InitDecoderConfig and
// Demux below do the same.
struct WebPLibrary {
    decltype(&WebPGetInfo) GetInfo;
    decltype(&WebPGetFeaturesInternal) GetFeaturesInternal;
    decltype(&WebPInitDecoderConfigInternal) InitDecoderConfigInternal;
    decltype(&WebPDecode) Decode;
    decltype(&WebPFreeDecBuffer) FreeDecBuffer;
    decltype(&WebPDemuxInternal) DemuxInternal;
    decltype(&WebPDemuxGetI) DemuxGetI;
    decltype(&WebPDemuxGetFrame) DemuxGetFrame;
    decltype(&WebPDemuxReleaseIterator) DemuxReleaseIterator;
    decltype(&WebPDemuxDelete) DemuxDelete;

    VP8StatusCode GetFeatures(const uint8_t* data, size_t size,
                              WebPBitstreamFeatures* features) const {
        return GetFeaturesInternal(data, size, features, WEBP_DECODER_ABI_VERSION);
    }
    int InitDecoderConfig(WebPDecoderConfig* config) const {
        return InitDecoderConfigInternal(config, WEBP_DECODER_ABI_VERSION);
    }
    WebPDemuxer* Demux(const WebPData* data) const {
        return DemuxInternal(data, 0, nullptr, WEBP_DEMUX_ABI_VERSION);
    }
};

const WebPLibrary* WebP();

}  // namespace pic2pnm::codecs

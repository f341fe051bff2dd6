// The codec libraries for JPEG, GIF, TIFF and WebP, and libdeflate for PNG, are opened the
// first time a picture needs one of them, not when the program starts: a conversion then loads
// the library of its own format and no other (libtiff alone brings seven more). Each table
// holds the functions we call; it is null when its library or one of them cannot be found.
#pragma once

#include <gif_lib.h>
#include <libdeflate.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/decode.h>
#include <webp/demux.h>

namespace pic2pnm::codecs {

struct TurboJpegLibrary {
    decltype(&tjInitDecompress) InitDecompress;
    decltype(&tjDecompress2) Decompress2;
    decltype(&tjGetErrorCode) GetErrorCode;
    decltype(&tjDestroy) Destroy;
};

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

struct TiffLibrary {
    decltype(&TIFFSetErrorHandler) SetErrorHandler;
    decltype(&TIFFSetWarningHandler) SetWarningHandler;
    decltype(&TIFFOpenOptionsAlloc) OpenOptionsAlloc;
    decltype(&TIFFOpenOptionsFree) OpenOptionsFree;
    decltype(&TIFFOpenOptionsSetMaxSingleMemAlloc) OpenOptionsSetMaxSingleMemAlloc;
    decltype(&TIFFOpenOptionsSetErrorHandlerExtR) OpenOptionsSetErrorHandlerExtR;
    decltype(&TIFFOpenOptionsSetWarningHandlerExtR) OpenOptionsSetWarningHandlerExtR;
    decltype(&TIFFClientOpenExt) ClientOpenExt;
    decltype(&TIFFClose) Close;
    decltype(&TIFFGetField) GetField;
    decltype(&TIFFGetFieldDefaulted) GetFieldDefaulted;
    decltype(&TIFFRGBAImageOK) RGBAImageOK;
    decltype(&TIFFRGBAImageBegin) RGBAImageBegin;
    decltype(&TIFFRGBAImageGet) RGBAImageGet;
    decltype(&TIFFRGBAImageEnd) RGBAImageEnd;
};

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

// PNG decodes without it (more slowly) when it cannot be opened.
struct DeflateLibrary {
    decltype(&libdeflate_alloc_decompressor) AllocDecompressor;
    decltype(&libdeflate_zlib_decompress_ex) ZlibDecompressEx;
    decltype(&libdeflate_free_decompressor) FreeDecompressor;
    decltype(&libdeflate_crc32) Crc32;
};

const TurboJpegLibrary* TurboJpeg();
const GifLibrary* Gif();
const TiffLibrary* Tiff();
const WebPLibrary* WebP();
const DeflateLibrary* Deflate();

}  // namespace pic2pnm::codecs

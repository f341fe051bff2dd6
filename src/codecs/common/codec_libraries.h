// The codec libraries for JPEG, GIF, TIFF, WebP, HEIF/AVIF (with the AV1 and HEVC decoders
// beneath libheif) and JPEG XL, and libdeflate for PNG,
// are opened the first time a picture needs one of them, not when the program starts: a
// conversion then loads the library of its own format and no other (libtiff alone brings seven
// more). Each table holds the functions we call; it is null when its library or one of them
// cannot be found.
#pragma once

#include <dav1d/dav1d.h>
#include <gif_lib.h>
#include <jxl/decode.h>
#include <libde265/de265.h>
#include <libdeflate.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>
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
    decltype(&TIFFIsTiled) IsTiled;
    decltype(&TIFFNumberOfStrips) NumberOfStrips;
    decltype(&TIFFNumberOfTiles) NumberOfTiles;
    decltype(&TIFFGetStrileByteCountWithErr) GetStrileByteCountWithErr;
    decltype(&TIFFReadEncodedStrip) ReadEncodedStrip;
    decltype(&TIFFReadEncodedTile) ReadEncodedTile;
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

// libheif, for HEIF and AVIF alike. heif_init has been called when the table is handed out.
struct HeifLibrary {
    decltype(&heif_init) Init;
    decltype(&heif_context_alloc) ContextAlloc;
    decltype(&heif_context_free) ContextFree;
    decltype(&heif_context_set_maximum_image_size_limit) SetMaximumImageSizeLimit;
    decltype(&heif_context_set_max_decoding_threads) SetMaxDecodingThreads;
    decltype(&heif_context_read_from_memory_without_copy) ReadFromMemoryWithoutCopy;
    decltype(&heif_context_get_primary_image_handle) GetPrimaryImageHandle;
    decltype(&heif_image_handle_release) HandleRelease;
    decltype(&heif_image_handle_get_width) HandleWidth;
    decltype(&heif_image_handle_get_height) HandleHeight;
    decltype(&heif_image_handle_get_ispe_width) HandleIspeWidth;
    decltype(&heif_image_handle_get_ispe_height) HandleIspeHeight;
    decltype(&heif_image_handle_has_alpha_channel) HandleHasAlpha;
    decltype(&heif_image_handle_is_premultiplied_alpha) HandleIsPremultipliedAlpha;
    decltype(&heif_image_handle_get_luma_bits_per_pixel) HandleLumaBits;
    decltype(&heif_decoding_options_alloc) DecodingOptionsAlloc;
    decltype(&heif_decoding_options_free) DecodingOptionsFree;
    decltype(&heif_decode_image) DecodeImage;
    decltype(&heif_image_get_width) ImageWidth;
    decltype(&heif_image_get_height) ImageHeight;
    decltype(&heif_image_get_bits_per_pixel_range) ImageBitsRange;
    decltype(&heif_image_get_plane_readonly) PlaneReadonly;
    decltype(&heif_image_is_premultiplied_alpha) ImageIsPremultipliedAlpha;
    decltype(&heif_image_release) ImageRelease;
    // For the decoders we give libheif (codecs/heif/heif_decoders.h).
    decltype(&heif_have_decoder_for_format) HaveDecoderFor;
    decltype(&heif_register_decoder) RegisterDecoder;
    decltype(&heif_image_create) ImageCreate;
    decltype(&heif_image_add_plane) ImageAddPlane;
    decltype(&heif_image_get_plane) ImagePlane;
    decltype(&heif_image_set_nclx_color_profile) ImageSetNclx;
    decltype(&heif_nclx_color_profile_alloc) NclxAlloc;
    decltype(&heif_nclx_color_profile_free) NclxFree;
    decltype(&heif_nclx_color_profile_set_color_primaries) NclxSetPrimaries;
    decltype(&heif_nclx_color_profile_set_transfer_characteristics) NclxSetTransfer;
    decltype(&heif_nclx_color_profile_set_matrix_coefficients) NclxSetMatrix;
};

// The AV1 and HEVC decoders libheif itself uses, opened to decode on the calling thread.
struct Dav1dLibrary {
    decltype(&dav1d_default_settings) DefaultSettings;
    decltype(&dav1d_open) Open;
    decltype(&dav1d_close) Close;
    decltype(&dav1d_data_create) DataCreate;
    decltype(&dav1d_data_unref) DataUnref;
    decltype(&dav1d_send_data) SendData;
    decltype(&dav1d_get_picture) GetPicture;
    decltype(&dav1d_picture_unref) PictureUnref;
};

struct De265Library {
    decltype(&de265_new_decoder) NewDecoder;
    decltype(&de265_free_decoder) FreeDecoder;
    decltype(&de265_push_NAL) PushNal;
    decltype(&de265_flush_data) FlushData;
    decltype(&de265_decode) Decode;
    decltype(&de265_get_next_picture) NextPicture;
    decltype(&de265_release_next_picture) ReleaseNextPicture;
    decltype(&de265_get_chroma_format) ChromaFormat;
    decltype(&de265_get_image_width) Width;
    decltype(&de265_get_image_height) Height;
    decltype(&de265_get_bits_per_pixel) BitsPerPixel;
    decltype(&de265_get_image_plane) Plane;
    decltype(&de265_get_image_colour_primaries) ColourPrimaries;
    decltype(&de265_get_image_transfer_characteristics) TransferCharacteristics;
    decltype(&de265_get_image_matrix_coefficients) MatrixCoefficients;
    decltype(&de265_get_image_full_range_flag) FullRangeFlag;
};

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

// PNG decodes without it (more slowly) when it cannot be opened.
struct DeflateLibrary {
    decltype(&libdeflate_alloc_decompressor) AllocDecompressor;
    decltype(&libdeflate_zlib_decompress_ex) ZlibDecompressEx;
    decltype(&libdeflate_free_decompressor) FreeDecompressor;
    decltype(&libdeflate_crc32) Crc32;
};

// From now on no library is opened: a table not yet loaded is reported missing. A decode
// child opens what its input needs and then seals, before its filter forbids opening files.
void SealCodecLibraries();

const TurboJpegLibrary* TurboJpeg();
const GifLibrary* Gif();
const TiffLibrary* Tiff();
const WebPLibrary* WebP();
const HeifLibrary* Heif();
const Dav1dLibrary* Dav1d();
const De265Library* De265();
const JxlLibrary* Jxl();
const DeflateLibrary* Deflate();

}  // namespace pic2pnm::codecs

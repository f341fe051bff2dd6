// libheif, for HEIF and AVIF alike, and the AV1 and HEVC decoders beneath it (dav1d, libde265),
// opened the first time such a picture is decoded (codecs/common/codec_libraries.h). Without
// libheif these pictures are not implemented.
#pragma once

#include <dav1d/dav1d.h>
#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

namespace pic2pnm::codecs {

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

const HeifLibrary* Heif();
// libheif with the HEVC and AV1 decoders the program puts in its place (libde265, dav1d): all
// three are opened together, before a confined decode closes the door on further libraries.
// False when libheif cannot be opened.
bool OpenHeifLibraries();
const Dav1dLibrary* Dav1d();
const De265Library* De265();

}  // namespace pic2pnm::codecs

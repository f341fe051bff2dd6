#include "codecs/heif/heif_library.h"

#include "codecs/common/codec_libraries.h"

namespace pic2pnm::codecs {
namespace {

HeifLibrary LoadHeif(bool& complete) {
    HeifLibrary table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("heif"));
    resolve(table.Init, "heif_init");
    resolve(table.ContextAlloc, "heif_context_alloc");
    resolve(table.ContextFree, "heif_context_free");
    resolve(table.SetMaximumImageSizeLimit, "heif_context_set_maximum_image_size_limit");
    resolve(table.SetMaxDecodingThreads, "heif_context_set_max_decoding_threads");
    resolve(table.ReadFromMemoryWithoutCopy, "heif_context_read_from_memory_without_copy");
    resolve(table.GetPrimaryImageHandle, "heif_context_get_primary_image_handle");
    resolve(table.HandleRelease, "heif_image_handle_release");
    resolve(table.HandleWidth, "heif_image_handle_get_width");
    resolve(table.HandleHeight, "heif_image_handle_get_height");
    resolve(table.HandleIspeWidth, "heif_image_handle_get_ispe_width");
    resolve(table.HandleIspeHeight, "heif_image_handle_get_ispe_height");
    resolve(table.HandleHasAlpha, "heif_image_handle_has_alpha_channel");
    resolve(table.HandleIsPremultipliedAlpha, "heif_image_handle_is_premultiplied_alpha");
    resolve(table.HandleLumaBits, "heif_image_handle_get_luma_bits_per_pixel");
    resolve(table.DecodingOptionsAlloc, "heif_decoding_options_alloc");
    resolve(table.DecodingOptionsFree, "heif_decoding_options_free");
    resolve(table.DecodeImage, "heif_decode_image");
    resolve(table.ImageWidth, "heif_image_get_width");
    resolve(table.ImageHeight, "heif_image_get_height");
    resolve(table.ImageBitsRange, "heif_image_get_bits_per_pixel_range");
    resolve(table.PlaneReadonly, "heif_image_get_plane_readonly");
    resolve(table.ImageIsPremultipliedAlpha, "heif_image_is_premultiplied_alpha");
    resolve(table.ImageRelease, "heif_image_release");
    resolve(table.HaveDecoderFor, "heif_have_decoder_for_format");
    resolve(table.RegisterDecoder, "heif_register_decoder");
    resolve(table.ImageCreate, "heif_image_create");
    resolve(table.ImageAddPlane, "heif_image_add_plane");
    resolve(table.ImagePlane, "heif_image_get_plane");
    resolve(table.ImageSetNclx, "heif_image_set_nclx_color_profile");
    resolve(table.NclxAlloc, "heif_nclx_color_profile_alloc");
    resolve(table.NclxFree, "heif_nclx_color_profile_free");
    resolve(table.NclxSetPrimaries, "heif_nclx_color_profile_set_color_primaries");
    resolve(table.NclxSetTransfer, "heif_nclx_color_profile_set_transfer_characteristics");
    resolve(table.NclxSetMatrix, "heif_nclx_color_profile_set_matrix_coefficients");
    complete = resolve.Complete();
    // Registers the decoders libheif carries; reference counted, and never undone, as the
    // library stays open for good.
    if (complete && table.Init(nullptr).code != heif_error_Ok) complete = false;
    return table;
}

Dav1dLibrary LoadDav1d(bool& complete) {
    Dav1dLibrary table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("dav1d"));
    resolve(table.DefaultSettings, "dav1d_default_settings");
    resolve(table.Open, "dav1d_open");
    resolve(table.Close, "dav1d_close");
    resolve(table.DataCreate, "dav1d_data_create");
    resolve(table.DataUnref, "dav1d_data_unref");
    resolve(table.SendData, "dav1d_send_data");
    resolve(table.GetPicture, "dav1d_get_picture");
    resolve(table.PictureUnref, "dav1d_picture_unref");
    complete = resolve.Complete();
    return table;
}

De265Library LoadDe265(bool& complete) {
    De265Library table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("de265"));
    resolve(table.NewDecoder, "de265_new_decoder");
    resolve(table.FreeDecoder, "de265_free_decoder");
    resolve(table.PushNal, "de265_push_NAL");
    resolve(table.FlushData, "de265_flush_data");
    resolve(table.Decode, "de265_decode");
    resolve(table.NextPicture, "de265_get_next_picture");
    resolve(table.ReleaseNextPicture, "de265_release_next_picture");
    resolve(table.ChromaFormat, "de265_get_chroma_format");
    resolve(table.Width, "de265_get_image_width");
    resolve(table.Height, "de265_get_image_height");
    resolve(table.BitsPerPixel, "de265_get_bits_per_pixel");
    resolve(table.Plane, "de265_get_image_plane");
    resolve(table.ColourPrimaries, "de265_get_image_colour_primaries");
    resolve(table.TransferCharacteristics, "de265_get_image_transfer_characteristics");
    resolve(table.MatrixCoefficients, "de265_get_image_matrix_coefficients");
    resolve(table.FullRangeFlag, "de265_get_image_full_range_flag");
    complete = resolve.Complete();
    return table;
}

}  // namespace

const HeifLibrary* Heif() {
    return CodecLibraryOnce<HeifLibrary, LoadHeif>();
}

bool OpenHeifLibraries() {
    De265();
    Dav1d();
    return Heif() != nullptr;
}

const Dav1dLibrary* Dav1d() {
    return CodecLibraryOnce<Dav1dLibrary, LoadDav1d>();
}

const De265Library* De265() {
    return CodecLibraryOnce<De265Library, LoadDe265>();
}

}  // namespace pic2pnm::codecs

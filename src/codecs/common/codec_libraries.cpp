#include "codecs/common/codec_libraries.h"

#include <dlfcn.h>

#include "testing/testing_hooks.h"

// The build puts in the names the dynamic linker knows these libraries by.
#if !defined(PIC2PNM_SONAME_TURBOJPEG) || !defined(PIC2PNM_SONAME_GIF) ||  \
    !defined(PIC2PNM_SONAME_TIFF) || !defined(PIC2PNM_SONAME_WEBP) ||      \
    !defined(PIC2PNM_SONAME_WEBPDEMUX) || !defined(PIC2PNM_SONAME_HEIF) || \
    !defined(PIC2PNM_SONAME_JXL) || !defined(PIC2PNM_SONAME_DEFLATE) ||    \
    !defined(PIC2PNM_SONAME_DAV1D) || !defined(PIC2PNM_SONAME_DE265)
#error "the codec library names are set by CMakeLists.txt"
#endif

namespace pic2pnm::codecs {
namespace {

// A library opened for good: the program ends soon after its one conversion, and the
// libraries' own clean-up at exit stays as the dynamic linker runs it.
void* Open(const char* name) {
    return ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

// Looks up every function of a table; false when the library or any function is missing.
class Resolver {
  public:
    explicit Resolver(void* library) : library_(library), complete_(library != nullptr) {}

    template <typename Function>
    void operator()(Function& function, const char* name) {
        function = nullptr;
        if (library_ != nullptr) function = reinterpret_cast<Function>(::dlsym(library_, name));
        if (function == nullptr) complete_ = false;
    }

    bool Complete() const { return complete_; }

  private:
    void* library_;
    bool complete_;
};

TurboJpegLibrary LoadTurboJpeg(bool& complete) {
    TurboJpegLibrary table{};
    Resolver resolve(Open(PIC2PNM_SONAME_TURBOJPEG));
    resolve(table.InitDecompress, "tjInitDecompress");
    resolve(table.Decompress2, "tjDecompress2");
    resolve(table.GetErrorCode, "tjGetErrorCode");
    resolve(table.Destroy, "tjDestroy");
    complete = resolve.Complete();
    return table;
}

GifLibrary LoadGif(bool& complete) {
    GifLibrary table{};
    Resolver resolve(Open(PIC2PNM_SONAME_GIF));
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

TiffLibrary LoadTiff(bool& complete) {
    TiffLibrary table{};
    Resolver resolve(Open(PIC2PNM_SONAME_TIFF));
    resolve(table.SetErrorHandler, "TIFFSetErrorHandler");
    resolve(table.SetWarningHandler, "TIFFSetWarningHandler");
    resolve(table.OpenOptionsAlloc, "TIFFOpenOptionsAlloc");
    resolve(table.OpenOptionsFree, "TIFFOpenOptionsFree");
    resolve(table.OpenOptionsSetMaxSingleMemAlloc, "TIFFOpenOptionsSetMaxSingleMemAlloc");
    resolve(table.OpenOptionsSetErrorHandlerExtR, "TIFFOpenOptionsSetErrorHandlerExtR");
    resolve(table.OpenOptionsSetWarningHandlerExtR, "TIFFOpenOptionsSetWarningHandlerExtR");
    resolve(table.ClientOpenExt, "TIFFClientOpenExt");
    resolve(table.Close, "TIFFClose");
    resolve(table.GetField, "TIFFGetField");
    resolve(table.GetFieldDefaulted, "TIFFGetFieldDefaulted");
    resolve(table.RGBAImageOK, "TIFFRGBAImageOK");
    resolve(table.RGBAImageBegin, "TIFFRGBAImageBegin");
    resolve(table.RGBAImageGet, "TIFFRGBAImageGet");
    resolve(table.RGBAImageEnd, "TIFFRGBAImageEnd");
    resolve(table.IsTiled, "TIFFIsTiled");
    resolve(table.NumberOfStrips, "TIFFNumberOfStrips");
    resolve(table.NumberOfTiles, "TIFFNumberOfTiles");
    resolve(table.GetStrileByteCountWithErr, "TIFFGetStrileByteCountWithErr");
    resolve(table.ReadEncodedStrip, "TIFFReadEncodedStrip");
    resolve(table.ReadEncodedTile, "TIFFReadEncodedTile");
    complete = resolve.Complete();
    return table;
}

WebPLibrary LoadWebP(bool& complete) {
    WebPLibrary table{};
    Resolver decode(Open(PIC2PNM_SONAME_WEBP));
    decode(table.GetInfo, "WebPGetInfo");
    decode(table.GetFeaturesInternal, "WebPGetFeaturesInternal");
    decode(table.InitDecoderConfigInternal, "WebPInitDecoderConfigInternal");
    decode(table.Decode, "WebPDecode");
    decode(table.FreeDecBuffer, "WebPFreeDecBuffer");
    Resolver demux(Open(PIC2PNM_SONAME_WEBPDEMUX));
    demux(table.DemuxInternal, "WebPDemuxInternal");
    demux(table.DemuxGetI, "WebPDemuxGetI");
    demux(table.DemuxGetFrame, "WebPDemuxGetFrame");
    demux(table.DemuxReleaseIterator, "WebPDemuxReleaseIterator");
    demux(table.DemuxDelete, "WebPDemuxDelete");
    complete = decode.Complete() && demux.Complete();
    return table;
}

HeifLibrary LoadHeif(bool& complete) {
    HeifLibrary table{};
    Resolver resolve(Open(PIC2PNM_SONAME_HEIF));
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
    Resolver resolve(Open(PIC2PNM_SONAME_DAV1D));
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
    Resolver resolve(Open(PIC2PNM_SONAME_DE265));
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

JxlLibrary LoadJxl(bool& complete) {
    JxlLibrary table{};
    Resolver resolve(Open(PIC2PNM_SONAME_JXL));
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

DeflateLibrary LoadDeflate(bool& complete) {
    DeflateLibrary table{};
    Resolver resolve(Open(PIC2PNM_SONAME_DEFLATE));
    resolve(table.AllocDecompressor, "libdeflate_alloc_decompressor");
    resolve(table.ZlibDecompressEx, "libdeflate_zlib_decompress_ex");
    resolve(table.FreeDecompressor, "libdeflate_free_decompressor");
    resolve(table.Crc32, "libdeflate_crc32");
    complete = resolve.Complete();
    return table;
}

bool librariesMissing = false;
bool librariesSealed = false;

// Loads a table once, the first time it is asked for (unless the libraries are sealed by then).
template <typename Table, Table (*Load)(bool&)>
const Table* Once() {
    if (librariesMissing) return nullptr;
    static bool complete = false;
    static const Table table = librariesSealed ? Table{} : Load(complete);
    return complete ? &table : nullptr;
}

}  // namespace

void SealCodecLibraries() {
    librariesSealed = true;
}

const TurboJpegLibrary* TurboJpeg() {
    return Once<TurboJpegLibrary, LoadTurboJpeg>();
}

const GifLibrary* Gif() {
    return Once<GifLibrary, LoadGif>();
}

const TiffLibrary* Tiff() {
    return Once<TiffLibrary, LoadTiff>();
}

const WebPLibrary* WebP() {
    return Once<WebPLibrary, LoadWebP>();
}

const HeifLibrary* Heif() {
    return Once<HeifLibrary, LoadHeif>();
}

const Dav1dLibrary* Dav1d() {
    return Once<Dav1dLibrary, LoadDav1d>();
}

const De265Library* De265() {
    return Once<De265Library, LoadDe265>();
}

const JxlLibrary* Jxl() {
    return Once<JxlLibrary, LoadJxl>();
}

const DeflateLibrary* Deflate() {
    return Once<DeflateLibrary, LoadDeflate>();
}

}  // namespace pic2pnm::codecs

namespace pic2pnm {

void SetCodecLibrariesMissingForTesting(bool missing) {
    codecs::librariesMissing = missing;
}

}  // namespace pic2pnm

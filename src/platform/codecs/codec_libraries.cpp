#include "platform/codecs/codec_libraries.h"

#include <dlfcn.h>

// The build puts in the names the dynamic linker knows these libraries by.
#if !defined(PIC2PNM_SONAME_TURBOJPEG) || !defined(PIC2PNM_SONAME_GIF) || \
    !defined(PIC2PNM_SONAME_TIFF) || !defined(PIC2PNM_SONAME_WEBP) ||     \
    !defined(PIC2PNM_SONAME_WEBPDEMUX) || !defined(PIC2PNM_SONAME_DEFLATE)
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

// Loads a table once, the first time it is asked for.
template <typename Table, Table (*Load)(bool&)>
const Table* Once() {
    static bool complete = false;
    static const Table table = Load(complete);
    return complete ? &table : nullptr;
}

}  // namespace

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

const DeflateLibrary* Deflate() {
    return Once<DeflateLibrary, LoadDeflate>();
}

}  // namespace pic2pnm::codecs

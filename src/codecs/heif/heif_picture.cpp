// The primary image of a HEIF or AVIF file as libheif shows it, with the transformations the
// file asks for (rotation, mirroring, cropping) and grid tiles assembled. 8-bit samples come as
// they are, deeper ones (10 and 12 bits) are scaled to 8 bits with rounding; a greyscale picture
// comes as grey RGB; the alpha image comes as straight alpha, or premultiplied where the file says
// so.
#include <algorithm>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "codecs/common/codec_quiet_standard_error.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/common/pixel_finisher.h"
#include "codecs/heif/heif_decoders.h"
#include "codecs/heif/heif_item_checks.h"
#include "codecs/heif/heif_library.h"
#include "codecs/heif/heif_picture.h"
#include "codecs/heif/heif_status.h"
#include "runtime/large_memory.h"

namespace pic2pnm::codecs {
namespace {

// The longest side libheif may accept: any side longer would be a picture of at least 2^31
// bytes in our store unless it were a thin strip, which no camera or encoder makes.
constexpr int MaxSide = 32768;
// The limit on either side once the picture's own size is known (see DecodeWithLibheif).
constexpr int LeastSideLimit = 4096;

// The library's objects, released through the library's own functions.
class Decoding {
  public:
    explicit Decoding(const HeifLibrary& libheif) : libheif_(libheif) {}
    ~Decoding() {
        if (image != nullptr) libheif_.ImageRelease(image);
        if (handle != nullptr) libheif_.HandleRelease(handle);
        if (options != nullptr) libheif_.DecodingOptionsFree(options);
        if (context != nullptr) libheif_.ContextFree(context);
    }
    Decoding(const Decoding&) = delete;
    Decoding& operator=(const Decoding&) = delete;

    heif_context* context = nullptr;
    heif_image_handle* handle = nullptr;
    heif_decoding_options* options = nullptr;
    heif_image* image = nullptr;

  private:
    const HeifLibrary& libheif_;
};

// Interleaved 16-bit little-endian samples of `bits` bits into the store, each scaled to 8
// bits with rounding through a table of every value a sample can hold.
void CopyRowsDeep(const uint8_t* plane, int stride, bool alpha, int bits, PixelStore& store) {
    const uint32_t maxValue = (1u << bits) - 1;
    std::vector<uint8_t> to8(65536, 255);
    for (uint32_t v = 0; v <= maxValue; ++v)
        to8[v] = static_cast<uint8_t>((v * 255 + maxValue / 2) / maxValue);
    const int32_t width = store.Width();
    const int channels = alpha ? 4 : 3;
    for (int32_t y = 0; y < store.Height(); ++y) {
        const uint8_t* in = plane + static_cast<size_t>(y) * static_cast<size_t>(stride);
        uint32_t* out = store.RowFromTop(y);
        for (int32_t x = 0; x < width; ++x, in += 2 * channels) {
            const auto sample = [&](int c) { return to8[in[2 * c] | in[2 * c + 1] << 8]; };
            const uint32_t a = alpha ? sample(3) : 0xFFu;
            out[x] = PackPixel(sample(0), sample(1), sample(2), a);
        }
    }
}

}  // namespace

// libheif's AV1 decoder (dav1d) keeps 40 bytes of a damaged AVIF file when it refuses it; the
// program ends right after, and nothing of ours is lost. Builds with LeakSanitizer, whose
// runtime asks for this function, do not count that against us.
#if defined(__SANITIZE_ADDRESS__)
#define PIC2PNM_HEIF_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIC2PNM_HEIF_LEAK_CHECKED 1
#endif
#endif
#ifdef PIC2PNM_HEIF_LEAK_CHECKED
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdav1d.so\n";
}
#endif

namespace {

// Everything after the library is open; may throw what libheif throws.
CodecResult Decode(const HeifLibrary& libheif, FileView file, const DecodeLimits& limits,
                   DecodedPicture& out) {
    Decoding decoding(libheif);
    decoding.context = libheif.ContextAlloc();
    if (decoding.context == nullptr) return Refuse("heif: libheif cannot make a context");
    libheif.SetMaximumImageSizeLimit(decoding.context, MaxSide);
    // Tiles one after another on this thread: threads of their own would each take a stack
    // and an allocator arena, and the pictures they decode at once, from the budget. The
    // decoders beneath decode on this thread too.
    libheif.SetMaxDecodingThreads(decoding.context, 0);
    for (const heif_decoder_plugin* decoder : {HevcDecoderPlugin(), Av1DecoderPlugin()})
        if (decoder != nullptr) libheif.RegisterDecoder(decoding.context, decoder);
    if (const CodecResult items = CheckHeifItems(file, limits.heif); !items.IsOk()) return items;
    CodecResult result = ResultOfHeifError(
        libheif.ReadFromMemoryWithoutCopy(decoding.context, file.data(), file.size(), nullptr));
    if (!result.IsOk()) return result;
    result = ResultOfHeifError(libheif.GetPrimaryImageHandle(decoding.context, &decoding.handle));
    if (!result.IsOk()) return result;

    // The size the handle reports: checked before any pixel is decoded. libheif works it out
    // from the properties in the order the file lists them, so that a rotation or a crop
    // listed before the stated size is left out of it; the decoded picture is the truth.
    const int width = libheif.HandleWidth(decoding.handle);
    const int height = libheif.HandleHeight(decoding.handle);
    if (width <= 0 || height <= 0) return Refuse("heif: the primary picture has a side of 0");
    if (!limits.AllowsPicture(width, height))
        return Refuse("heif: the picture is larger than the limits allow");
    // A tile may be larger than a small picture, being coded in whole blocks: libheif's side
    // limit is from here on the longest side the file states before cropping, but never below
    // LeastSideLimit. (What grids and overlays state of themselves was checked above.)
    const int storedWidth = libheif.HandleIspeWidth(decoding.handle);
    const int storedHeight = libheif.HandleIspeHeight(decoding.handle);
    const int storedSide = std::max(storedWidth, storedHeight);
    // libheif decodes the whole stored picture before it crops it.
    StateDecodedSize(std::max(storedWidth, width), std::max(storedHeight, height));
    // What the file states its picture to be, before and after its transformations: no
    // decoding may deliver more.
    const uint64_t pictureArea =
        std::max(uint64_t(std::max(storedWidth, 0)) * uint64_t(std::max(storedHeight, 0)),
                 uint64_t(width) * uint64_t(height));
    libheif.SetMaximumImageSizeLimit(decoding.context,
                                     std::clamp(storedSide, LeastSideLimit, MaxSide - 1) + 1);
    const bool alpha = libheif.HandleHasAlpha(decoding.handle) != 0;
    const bool deep = libheif.HandleLumaBits(decoding.handle) > 8;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);

    decoding.options = libheif.DecodingOptionsAlloc();
    if (decoding.options == nullptr) return Refuse("heif: libheif cannot make decoding options");
    result = ResultOfHeifError(libheif.DecodeImage(decoding.handle, &decoding.image,
                                                   heif_colorspace_RGB, chroma, decoding.options));
    // The size was checked above: a limit broken now is a file that contradicts itself.
    if (result.status == CodecStatus::TooLarge)
        return Refuse("heif: libheif decodes more than the file states");
    if (!result.IsOk()) return result;
    // Rotated, mirrored and cropped as the file asks, in the order it lists them.
    const int shownWidth = libheif.ImageWidth(decoding.image, heif_channel_interleaved);
    const int shownHeight = libheif.ImageHeight(decoding.image, heif_channel_interleaved);
    if (shownWidth <= 0 || shownHeight <= 0) return Refuse("heif: the decoded picture is empty");
    if (uint64_t(shownWidth) * uint64_t(shownHeight) > pictureArea)
        return Refuse("heif: libheif decodes more than the file states");
    if (!limits.AllowsPicture(shownWidth, shownHeight))
        return Refuse("heif: the picture is larger than the limits allow");
    const int bits = libheif.ImageBitsRange(decoding.image, heif_channel_interleaved);
    if (deep ? (bits <= 8 || bits > 16) : bits != 8)
        return Refuse("heif: the decoded samples are not of the depth asked for");
    int stride = 0;
    const uint8_t* plane = libheif.PlaneReadonly(decoding.image, heif_channel_interleaved, &stride);
    const int64_t rowBytes = int64_t{shownWidth} * (alpha ? 4 : 3) * (deep ? 2 : 1);
    if (plane == nullptr || stride < rowBytes)
        return Refuse("heif: libheif gives no plane of the samples asked for");

    auto store = PixelStore::Allocate(shownWidth, shownHeight);
    if (store == nullptr) return Refuse("heif: no memory for the pixels");
    if (deep) {
        CopyRowsDeep(plane, stride, alpha, bits, *store);
    } else {
        FinishRgb8Rows(plane, static_cast<size_t>(stride), alpha, *store);
    }
    out.width = shownWidth;
    out.height = shownHeight;
    // Colour from the luma's depth (libheif decodes grey as grey RGB); what libheif hands back
    // of alpha: libheif 1.15 leaves colour stored premultiplied as it is, and says so of the
    // image it decoded.
    const int lumaBits = std::clamp(libheif.HandleLumaBits(decoding.handle), 1, 16);
    const AlphaKind alphaKind = !alpha ? AlphaKind::None
                                : libheif.ImageIsPremultipliedAlpha(decoding.image) != 0
                                    ? AlphaKind::Premultiplied
                                    : AlphaKind::Straight;
    out.source = {.channels = SourceChannels::Colour,
                  .sampleBits = static_cast<uint8_t>(lumaBits),
                  .pixelBits = static_cast<uint8_t>(lumaBits * (alpha ? 4 : 3)),
                  .alpha = alphaKind};
    out.dpiX = 0;
    out.dpiY = 0;
    out.pixels = std::move(store);
    return Decoded;
}

}  // namespace

CodecResult DecodeWithLibheif(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    const HeifLibrary* library = Heif();
    if (library == nullptr) return Refuse("heif: libheif cannot be opened");
    const QuietStandardError quiet;
    ReturnFreedPicturesToTheSystem();
    // libheif is C++ beneath its C interface: memory running out inside it, or a thread it
    // cannot start, comes out as an exception, which must not pass our frames.
    try {
        return Decode(*library, file, limits, out);
    } catch (const std::bad_alloc&) {
        return Refuse("heif: libheif ran out of memory");
    } catch (const std::system_error&) {
        return Refuse("heif: libheif cannot start a thread");
    } catch (...) {
        return Refuse("heif: libheif stopped on an exception");
    }
}

}  // namespace pic2pnm::codecs

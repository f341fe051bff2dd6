// TIFF through libtiff's RGBA reader: the first directory (page), any compression and sample
// layout libtiff can turn into RGBA. Grey, RGB and palette pictures with an alpha sample are
// read sample by sample instead (tiff_alpha.h). Both give colour premultiplied by alpha.
#include <algorithm>
#include <cstdarg>
#include <memory>
#include <mutex>

#include "codecs/common/codec_reasons.h"
#include "codecs/common/pixel_arithmetic.h"
#include "codecs/tiff/tiff.h"
#include "codecs/tiff/tiff_alpha.h"
#include "codecs/tiff/tiff_format.h"
#include "codecs/tiff/tiff_library.h"
#include "codecs/tiff/tiff_limits.h"
#include "codecs/tiff/tiff_memory_file.h"

namespace pic2pnm::codecs {
namespace {

int IgnoreMessage(TIFF*, void*, const char*, const char*, va_list) {
    return 1;  // handled: libtiff passes it on to no other handler
}

// Some of libtiff's messages bypass the per-handle handlers and go to the process-wide ones,
// which print to stderr unless replaced.
void SilenceProcessWideHandlers(const TiffLibrary& libtiff) {
    static std::once_flag once;
    std::call_once(once, [&libtiff] {
        libtiff.SetErrorHandler(nullptr);
        libtiff.SetWarningHandler(nullptr);
    });
}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { Tiff()->OpenOptionsFree(options); }
};
struct TiffDeleter {
    void operator()(TIFF* tiff) const { Tiff()->Close(tiff); }
};
struct RgbaReaderEnd {
    void operator()(TIFFRGBAImage* reader) const { Tiff()->RGBAImageEnd(reader); }
};

}  // namespace

bool LooksLikeTiff(FileView file) {
    if (file.size() < 4) return false;
    const uint8_t* b = file.data();
    const bool little = b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0;
    const bool big = b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43);
    return little || big;  // 42: classic TIFF, 43: BigTIFF
}

CodecResult DecodeTiff(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeTiff(file)) return Refuse("tiff: no TIFF signature");
    // Without its library no TIFF can be read; the package always brings it.
    const TiffLibrary* library = Tiff();
    if (library == nullptr) return Refuse("tiff: libtiff cannot be opened");
    const TiffLibrary& libtiff = *library;
    SilenceProcessWideHandlers(libtiff);
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(libtiff.OpenOptionsAlloc());
    if (options == nullptr) return Refuse("tiff: libtiff cannot make its options");
    libtiff.OpenOptionsSetMaxSingleMemAlloc(
        options.get(), static_cast<tmsize_t>(TiffAllocationCapForFile(file.size(), limits)));
    libtiff.OpenOptionsSetErrorHandlerExtR(options.get(), IgnoreMessage, nullptr);
    libtiff.OpenOptionsSetWarningHandlerExtR(options.get(), IgnoreMessage, nullptr);

    TiffMemoryFile memoryFile{file};
    constexpr CodecResult NoDirectory =
        Refuse("tiff: libtiff cannot read the header or the first directory");
    std::unique_ptr<TIFF, TiffDeleter> tiff(OpenTiffInMemory(libtiff, memoryFile, options.get()));
    if (tiff == nullptr) return NoDirectory;

    uint32_t width = 0;
    uint32_t height = 0;
    if (libtiff.GetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        libtiff.GetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1) {
        return Refuse("tiff: the first directory gives no width or no length");
    }
    if (width == 0 || height == 0) return Refuse("tiff: a side of the picture is 0");
    if (!limits.AllowsPicture(width, height))
        return Refuse("tiff: the picture is larger than the limits allow");
    // Opened again with the largest allocation this picture can need, now that it is known.
    TiffLayout layout;
    if (!ReadTiffLayout(libtiff, tiff.get(), layout))
        return Refuse("tiff: the tile size or a byte count cannot be read");
    if (const CodecResult proportions = CheckTiffProportions(layout, limits); !proportions.IsOk())
        return proportions;
    libtiff.OpenOptionsSetMaxSingleMemAlloc(
        options.get(), static_cast<tmsize_t>(TiffAllocationCapFor(layout, limits)));
    tiff.reset();
    tiff.reset(OpenTiffInMemory(libtiff, memoryFile, options.get()));
    if (tiff == nullptr) return NoDirectory;

    TiffAlphaLayout alphaLayout;
    if (DescribeTiffAlpha(libtiff, tiff.get(), alphaLayout))
        return DecodeTiffWithAlpha(libtiff, tiff.get(), alphaLayout, width, height, out);

    char message[1024] = {};
    if (libtiff.RGBAImageOK(tiff.get(), message) != 1)
        return Refuse("tiff: libtiff's RGBA reader does not take the picture's samples");
    TIFFRGBAImage reader{};
    if (libtiff.RGBAImageBegin(&reader, tiff.get(), /*stoponerr=*/1, message) != 1) {
        return Refuse("tiff: libtiff's RGBA reader cannot start on the picture");
    }
    std::unique_ptr<TIFFRGBAImage, RgbaReaderEnd> readerEnd(&reader);
    if (reader.width != width || reader.height != height)
        return Refuse("tiff: libtiff's RGBA reader sees another size");

    auto store = PixelStore::Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (store == nullptr) return Refuse("tiff: no memory for the pixels");
    // The Orientation tag is not applied: rows as stored, the first one on top. The reader
    // would flip by the tag (and cannot transpose), so it is told the rows are stored top
    // first, left to right, and asked for them bottom row first, as the store keeps them.
    reader.orientation = ORIENTATION_TOPLEFT;
    reader.req_orientation = ORIENTATION_BOTLEFT;
    if (libtiff.RGBAImageGet(&reader, store->Data(), width, height) != 1)
        return Refuse("tiff: libtiff cannot decode a strip or tile");
    uint32_t* pixels = store->Data();
    std::transform(pixels, pixels + store->PixelCount(), pixels,
                   SwapRedAndBlue);  // libtiff gives red-low ABGR

    FillTiffPicture(libtiff, tiff.get(),
                    DescribeTiffSource(reader.photometric, reader.bitspersample,
                                       reader.samplesperpixel, reader.alpha != 0),
                    std::move(store), out);
    return Decoded;
}

}  // namespace pic2pnm::codecs

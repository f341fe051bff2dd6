// TIFF through libtiff's RGBA reader: the first directory (page), any compression and sample
// layout libtiff can turn into RGBA. Grey, RGB and palette pictures with an alpha sample are
// read sample by sample instead (tiff_alpha.h). Both give colour premultiplied by alpha.
#include <algorithm>
#include <cstdarg>
#include <memory>
#include <mutex>

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

CodecStatus DecodeTiff(FileView file, DecodedPicture& out) {
    if (!LooksLikeTiff(file)) return CodecStatus::NotMyFormat;
    // Without its library no TIFF can be read; the package always brings it.
    const TiffLibrary* library = Tiff();
    if (library == nullptr) return CodecStatus::LibraryMissing;
    const TiffLibrary& libtiff = *library;
    SilenceProcessWideHandlers(libtiff);
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(libtiff.OpenOptionsAlloc());
    if (options == nullptr) return CodecStatus::OutOfMemory;
    libtiff.OpenOptionsSetMaxSingleMemAlloc(
        options.get(), static_cast<tmsize_t>(TiffAllocationCapForFile(file.size())));
    libtiff.OpenOptionsSetErrorHandlerExtR(options.get(), IgnoreMessage, nullptr);
    libtiff.OpenOptionsSetWarningHandlerExtR(options.get(), IgnoreMessage, nullptr);

    TiffMemoryFile memoryFile{file};
    std::unique_ptr<TIFF, TiffDeleter> tiff(OpenTiffInMemory(libtiff, memoryFile, options.get()));
    if (tiff == nullptr) return CodecStatus::Corrupt;

    uint32_t width = 0;
    uint32_t height = 0;
    if (libtiff.GetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        libtiff.GetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1) {
        return CodecStatus::Corrupt;
    }
    if (width == 0 || height == 0) return CodecStatus::Corrupt;
    if (!IsPictureSizeSupported(width, height)) return CodecStatus::TooLarge;
    // Opened again with the largest allocation this picture can need, now that it is known.
    TiffLayout layout;
    if (!ReadTiffLayout(libtiff, tiff.get(), layout)) return CodecStatus::Corrupt;
    if (!IsTiffLayoutInProportion(layout)) return CodecStatus::Corrupt;
    libtiff.OpenOptionsSetMaxSingleMemAlloc(options.get(),
                                            static_cast<tmsize_t>(TiffAllocationCapFor(layout)));
    tiff.reset();
    tiff.reset(OpenTiffInMemory(libtiff, memoryFile, options.get()));
    if (tiff == nullptr) return CodecStatus::Corrupt;

    TiffAlphaLayout alphaLayout;
    if (DescribeTiffAlpha(libtiff, tiff.get(), alphaLayout))
        return DecodeTiffWithAlpha(libtiff, tiff.get(), alphaLayout, width, height, out);

    char message[1024] = {};
    if (libtiff.RGBAImageOK(tiff.get(), message) != 1) return CodecStatus::Corrupt;
    TIFFRGBAImage reader{};
    if (libtiff.RGBAImageBegin(&reader, tiff.get(), /*stoponerr=*/1, message) != 1) {
        return CodecStatus::Corrupt;
    }
    std::unique_ptr<TIFFRGBAImage, RgbaReaderEnd> readerEnd(&reader);
    if (reader.width != width || reader.height != height) return CodecStatus::Corrupt;

    auto store = PixelStore::Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (store == nullptr) return CodecStatus::OutOfMemory;
    // The Orientation tag is not applied: rows as stored, the first one on top. The reader
    // would flip by the tag (and cannot transpose), so it is told the rows are stored top
    // first, left to right, and asked for them bottom row first, as the store keeps them.
    reader.orientation = ORIENTATION_TOPLEFT;
    reader.req_orientation = ORIENTATION_BOTLEFT;
    if (libtiff.RGBAImageGet(&reader, store->Data(), width, height) != 1)
        return CodecStatus::Corrupt;
    uint32_t* pixels = store->Data();
    std::transform(pixels, pixels + store->PixelCount(), pixels,
                   SwapRedAndBlue);  // libtiff gives red-low ABGR

    const bool hasAlpha = reader.alpha != 0;
    const TiffSourceFormat format =
        DescribeTiffSource(reader.photometric, reader.bitspersample, hasAlpha);
    FillTiffPicture(libtiff, tiff.get(), format, hasAlpha, std::move(store), out);
    return CodecStatus::Ok;
}

}  // namespace pic2pnm::codecs

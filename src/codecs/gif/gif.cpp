// GIF: the first image of the file on its logical screen, read with giflib record by record
// so that the frames of an animation after the first are never decoded.
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "codecs/gif/gif.h"
#include "codecs/gif/gif_layout.h"
#include "codecs/gif/gif_palette.h"
#include "codecs/gif/gif_source.h"

namespace pic2pnm::codecs {
namespace {

// Reads one extension to its end; a graphic control extension updates the transparent index.
bool ReadExtension(const GifLibrary& giflib, GifFileType* gif, int& transparentIndex) {
    int code = 0;
    GifByteType* block = nullptr;
    if (giflib.GetExtension(gif, &code, &block) == GIF_ERROR) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
        GraphicsControlBlock control;
        // A control block of the wrong length is ignored, as viewers do.
        if (giflib.ExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
            transparentIndex = control.TransparentColor;
    }
    while (block != nullptr) {
        if (giflib.GetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

// Rows of an interlaced image arrive in four passes; a plain image is one pass of step 1.
struct RowPass {
    int32_t first;
    int32_t step;
};
constexpr RowPass InterlacedPasses[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
constexpr RowPass PlainPass[] = {{0, 1}};

CodecStatus DecodeFirstImage(const GifLibrary& giflib, GifFileType* gif, int transparentIndex,
                             DecodedPicture& out) {
    if (giflib.GetImageDesc(gif) == GIF_ERROR) return CodecStatus::Corrupt;
    const GifImageDesc& image = gif->Image;
    if (image.Width <= 0 || image.Height <= 0) return CodecStatus::Corrupt;
    const ColorMapObject* colours = image.ColorMap != nullptr ? image.ColorMap : gif->SColorMap;
    if (colours == nullptr) return CodecStatus::Corrupt;

    GifPlacement place = PlaceFirstImage(gif->SWidth, gif->SHeight, image.Left, image.Top,
                                         image.Width, image.Height);
    if (!IsPictureSizeSupported(place.canvasWidth, place.canvasHeight))
        return CodecStatus::TooLarge;
    // Uncovered pixels must be 0 (black, transparent): a zeroed store needs no pass of ours.
    std::shared_ptr<PixelStore> store =
        place.coversCanvas ? PixelStore::Allocate(place.canvasWidth, place.canvasHeight)
                           : PixelStore::Allocate(place.canvasWidth, place.canvasHeight);
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[image.Width]);
    if (store == nullptr || line == nullptr) return CodecStatus::OutOfMemory;

    const GifPalette palette = MakeGifPalette(*colours, transparentIndex);
    uint32_t alphaOfAll = 0xFF000000u;  // stays opaque while every pixel is
    for (const RowPass& pass : image.Interlace ? std::span<const RowPass>(InterlacedPasses)
                                               : std::span<const RowPass>(PlainPass)) {
        for (int32_t y = pass.first; y < image.Height; y += pass.step) {
            if (giflib.GetLine(gif, line.get(), image.Width) == GIF_ERROR)
                return CodecStatus::Corrupt;
            uint32_t* row = store->RowFromTop(place.top + y) + place.left;
            for (int32_t x = 0; x < image.Width; ++x) {
                row[x] = palette[line[x]];
                alphaOfAll &= row[x];
            }
        }
    }

    out.width = place.canvasWidth;
    out.height = place.canvasHeight;
    out.bitsPerPixel = 8;
    out.pixelFormat = PixelFormat::Indexed8;
    out.hasAlpha = !place.coversCanvas || alphaOfAll != 0xFF000000u;
    out.premultipliedAlpha = false;
    out.dpiX = 0;  // GIF states no resolution
    out.dpiY = 0;
    out.pixels = std::move(store);
    return CodecStatus::Ok;
}

}  // namespace

bool LooksLikeGif(FileView file) {
    return file.size() >= 6 && (std::memcmp(file.data(), "GIF87a", 6) == 0 ||
                                std::memcmp(file.data(), "GIF89a", 6) == 0);
}

CodecStatus DecodeGif(FileView file, DecodedPicture& out) {
    if (!LooksLikeGif(file)) return CodecStatus::NotMyFormat;
    GifSource source(file);
    GifFileType* gif = source.Get();
    if (gif == nullptr) return source.Status();
    // A 65535 x 65535 screen is refused before any image data is read.
    if (gif->SWidth > 0 && gif->SHeight > 0 && !IsPictureSizeSupported(gif->SWidth, gif->SHeight))
        return CodecStatus::TooLarge;

    const GifLibrary& giflib = source.Library();
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (giflib.GetRecordType(gif, &record) == GIF_ERROR) return CodecStatus::Corrupt;
        switch (record) {
            case EXTENSION_RECORD_TYPE:
                if (!ReadExtension(giflib, gif, transparentIndex)) return CodecStatus::Corrupt;
                break;
            case IMAGE_DESC_RECORD_TYPE:
                return DecodeFirstImage(giflib, gif, transparentIndex, out);
            default: return CodecStatus::Corrupt;  // the trailer before any image, or junk
        }
    }
}

}  // namespace pic2pnm::codecs

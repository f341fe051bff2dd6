// GIF: the first image of the file on its logical screen, read with giflib record by record
// so that the frames of an animation after the first are never decoded.
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "codecs/common/codec_reasons.h"
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

CodecResult DecodeFirstImage(const GifLibrary& giflib, GifFileType* gif, int transparentIndex,
                             const DecodeLimits& limits, DecodedPicture& out) {
    if (giflib.GetImageDesc(gif) == GIF_ERROR) return GiflibFailure(gif->Error);
    const GifImageDesc& image = gif->Image;
    if (image.Width <= 0 || image.Height <= 0) return Refuse("gif: the first image has no pixels");
    const ColorMapObject* colours = image.ColorMap != nullptr ? image.ColorMap : gif->SColorMap;
    if (colours == nullptr) return Refuse("gif: the first image has no colour table");

    GifPlacement place = PlaceFirstImage(gif->SWidth, gif->SHeight, image.Left, image.Top,
                                         image.Width, image.Height);
    if (!limits.AllowsPicture(place.canvasWidth, place.canvasHeight))
        return Refuse("gif: the picture is larger than the limits allow");
    // Uncovered pixels must be 0 (black, transparent): a zeroed store needs no pass of ours.
    std::shared_ptr<PixelStore> store =
        place.coversCanvas ? PixelStore::Allocate(place.canvasWidth, place.canvasHeight)
                           : PixelStore::Allocate(place.canvasWidth, place.canvasHeight);
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[image.Width]);
    if (store == nullptr || line == nullptr) return Refuse("gif: no memory for the pixels");

    const GifPalette palette = MakeGifPalette(*colours, transparentIndex);
    uint32_t alphaOfAll = 0xFF000000u;  // stays opaque while every pixel is
    for (const RowPass& pass : image.Interlace ? std::span<const RowPass>(InterlacedPasses)
                                               : std::span<const RowPass>(PlainPass)) {
        for (int32_t y = pass.first; y < image.Height; y += pass.step) {
            if (giflib.GetLine(gif, line.get(), image.Width) == GIF_ERROR)
                return GiflibFailure(gif->Error);
            uint32_t* row = store->RowFromTop(place.top + y) + place.left;
            for (int32_t x = 0; x < image.Width; ++x) {
                row[x] = palette[line[x]];
                alphaOfAll &= row[x];
            }
        }
    }

    out.width = place.canvasWidth;
    out.height = place.canvasHeight;
    const auto indexBits = static_cast<uint8_t>(colours->BitsPerPixel);
    const bool alpha = !place.coversCanvas || alphaOfAll != 0xFF000000u;
    out.source = {.channels = SourceChannels::Colour,
                  .sampleBits = indexBits,
                  .pixelBits = indexBits,
                  .alpha = alpha ? AlphaKind::Straight : AlphaKind::None,
                  .paletteEntries = static_cast<uint32_t>(colours->ColorCount)};
    out.dpiX = 0;  // GIF states no resolution
    out.dpiY = 0;
    out.pixels = std::move(store);
    return Decoded;
}

}  // namespace

bool LooksLikeGif(FileView file) {
    return file.size() >= 6 && (std::memcmp(file.data(), "GIF87a", 6) == 0 ||
                                std::memcmp(file.data(), "GIF89a", 6) == 0);
}

CodecResult DecodeGif(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeGif(file)) return Refuse("gif: no GIF signature");
    GifSource source(file);
    GifFileType* gif = source.Get();
    if (gif == nullptr) return source.Result();
    // A 65535 x 65535 screen is refused before any image data is read.
    if (gif->SWidth > 0 && gif->SHeight > 0 && !limits.AllowsPicture(gif->SWidth, gif->SHeight))
        return Refuse("gif: the picture is larger than the limits allow");

    const GifLibrary& giflib = source.Library();
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (giflib.GetRecordType(gif, &record) == GIF_ERROR) return GiflibFailure(gif->Error);
        switch (record) {
            case EXTENSION_RECORD_TYPE:
                if (!ReadExtension(giflib, gif, transparentIndex)) return GiflibFailure(gif->Error);
                break;
            case IMAGE_DESC_RECORD_TYPE:
                return DecodeFirstImage(giflib, gif, transparentIndex, limits, out);
            // the trailer before any image, or junk
            default: return Refuse("gif: the trailer comes before any image");
        }
    }
}

}  // namespace pic2pnm::codecs

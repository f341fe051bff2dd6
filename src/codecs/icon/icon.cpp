// The native loader's icon decoder: the chosen BMP-format image as GDI keeps an icon, a colour
// bitmap and an AND mask bitmap, or for a monochrome image the mask alone holding both halves.
#include <algorithm>

#include "codecs/bmp/bmp.h"
#include "codecs/icon/icon.h"
#include "codecs/icon/icon_dib.h"
#include "codecs/icon/icon_directory.h"

namespace pic2pnm::codecs {
namespace {

// Pixels of the 1-bit mask bitmap: white for a set bit (transparent, in the AND mask).
constexpr uint32_t kSetBit = 0xFFFFFF;
constexpr uint32_t kClearBit = 0;

// One mask-bitmap value per pixel of the AND mask, into `height` rows of `store` starting at
// `firstRow` (counted from the bottom, as the DIB stores the mask). An image that ends before
// its mask does is taken as opaque throughout.
void WriteAndMask(FileView dib, const icon::IconDibLayout& layout, PixelStore& store,
                  int32_t firstRow) {
    for (int32_t row = 0; row < layout.height; ++row) {
        uint32_t* out = store.RowFromBottom(firstRow + row);
        for (int32_t x = 0; x < layout.width; ++x)
            out[x] = icon::IsMaskTransparent(dib, layout, x, row) ? kSetBit : kClearBit;
    }
}

// A monochrome icon has no colour bitmap. Its mask bitmap is twice as high: the AND mask in
// the upper half and the XOR bits in the lower half. Rows run bottom-up, so the XOR image
// fills rows 0 to height - 1 and the AND mask rows height to 2 * height - 1. The XOR half
// keeps the pixels' index bits (1 white, 0 black), which is what drawing the icon combines
// with the screen; the colour table, black and white in every monochrome icon we know of,
// is not consulted.
CodecStatus MonochromeMask(FileView dib, const icon::IconDibLayout& layout,
                           std::shared_ptr<PixelStore>& mask) {
    const int64_t doubleHeight = int64_t{layout.height} * 2;
    if (!IsPictureSizeSupported(layout.width, doubleHeight)) return CodecStatus::TooLarge;
    mask = PixelStore::Allocate(layout.width, static_cast<int32_t>(doubleHeight));
    if (!mask) return CodecStatus::OutOfMemory;
    for (int32_t row = 0; row < layout.height; ++row) {
        uint32_t* out = mask->RowFromBottom(row);
        for (int32_t x = 0; x < layout.width; ++x)
            out[x] = icon::MonochromeXorBit(dib, layout, x, row) ? kSetBit : kClearBit;
    }
    WriteAndMask(dib, layout, *mask, layout.height);
    return CodecStatus::Ok;
}

CodecStatus ColorAndMask(FileView dib, const icon::IconDibLayout& layout,
                         std::shared_ptr<PixelStore>& color, std::shared_ptr<PixelStore>& mask) {
    DecodedPicture picture;
    const CodecStatus status = DecodeDib(dib, /*iconImage=*/true, picture);
    // The directory already made this an icon, so a refusal means a broken image.
    if (status == CodecStatus::NotMyFormat) return CodecStatus::Corrupt;
    if (status != CodecStatus::Ok) return status;
    if (!picture.pixels || picture.pixels->Width() != layout.width ||
        picture.pixels->Height() != layout.height) {
        return CodecStatus::Corrupt;
    }
    // A 32-bit colour bitmap keeps the image's fourth bytes as they are stored.
    if (layout.bitCount == 32) {
        for (int32_t row = 0; row < layout.height; ++row) {
            uint32_t* pixels = picture.pixels->RowFromBottom(row);
            for (int32_t x = 0; x < layout.width; ++x) {
                pixels[x] = (pixels[x] & 0xFFFFFFu) |
                            (uint32_t{icon::AlphaByte(dib, layout, x, row)} << 24);
            }
        }
    }
    mask = PixelStore::Allocate(layout.width, layout.height);
    if (!mask) return CodecStatus::OutOfMemory;
    WriteAndMask(dib, layout, *mask, 0);
    color = std::move(picture.pixels);
    return CodecStatus::Ok;
}

}  // namespace

bool LooksLikeIcon(FileView file) {
    return icon::LooksLikeIconDirectory(file);
}

CodecStatus DecodeIcon(FileView file, DecodedIcon& out) {
    icon::ChosenIconImage chosen;
    if (CodecStatus status = icon::ChooseIconImage(file, chosen); status != CodecStatus::Ok)
        return status;
    // PNG images are left to the GDI+ decoder (DecodeIconAsPicture).
    if (chosen.isPng) return CodecStatus::NotMyFormat;
    icon::IconDibLayout layout;
    if (CodecStatus status = icon::ReadIconDibLayout(chosen.image, layout);
        status != CodecStatus::Ok) {
        return status;
    }

    DecodedIcon decoded;
    decoded.isIcon = chosen.isIcon;
    if (chosen.isIcon) {
        // An icon's hot spot is its centre.
        decoded.hotspotX = static_cast<uint16_t>(std::min(layout.width / 2, int32_t{UINT16_MAX}));
        decoded.hotspotY = static_cast<uint16_t>(std::min(layout.height / 2, int32_t{UINT16_MAX}));
    } else {
        decoded.hotspotX = chosen.hotspotX;
        decoded.hotspotY = chosen.hotspotY;
    }
    decoded.width = layout.width;
    decoded.height = layout.height;
    decoded.bitsPerPixel = icon::GdiBitsPerPixel(layout.bitCount);
    const CodecStatus status =
        layout.bitCount == 1 ? MonochromeMask(chosen.image, layout, decoded.mask)
                             : ColorAndMask(chosen.image, layout, decoded.color, decoded.mask);
    if (status != CodecStatus::Ok) return status;
    out = std::move(decoded);
    return CodecStatus::Ok;
}

}  // namespace pic2pnm::codecs

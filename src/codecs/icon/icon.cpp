// The native loader's icon decoder: the chosen BMP-format image as GDI keeps an icon, a colour
// bitmap and an AND mask bitmap, or for a monochrome image the mask alone holding both halves.
#include <algorithm>

#include "codecs/bmp/bmp.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/icon/icon.h"
#include "codecs/icon/icon_dib.h"
#include "codecs/icon/icon_directory.h"

namespace pic2pnm::codecs {
namespace {

// Pixels of the 1-bit mask bitmap: white for a set bit (transparent, in the AND mask).
constexpr uint32_t SetBit = 0xFFFFFF;
constexpr uint32_t ClearBit = 0;

// One mask-bitmap value per pixel of the AND mask, into `height` rows of `store` starting at
// `firstRow` (counted from the bottom, as the DIB stores the mask). An image that ends before
// its mask does is taken as opaque throughout.
void WriteAndMask(FileView dib, const icon::IconDibLayout& layout, PixelStore& store,
                  int32_t firstRow) {
    for (int32_t row = 0; row < layout.height; ++row) {
        uint32_t* out = store.RowFromBottom(firstRow + row);
        for (int32_t x = 0; x < layout.width; ++x)
            out[x] = icon::IsMaskTransparent(dib, layout, x, row) ? SetBit : ClearBit;
    }
}

// A monochrome icon has no colour bitmap. Its mask bitmap is twice as high: the AND mask in
// the upper half and the XOR bits in the lower half. Rows run bottom-up, so the XOR image
// fills rows 0 to height - 1 and the AND mask rows height to 2 * height - 1. The XOR half
// keeps the pixels' index bits (1 white, 0 black), which is what drawing the icon combines
// with the screen; the colour table, black and white in every monochrome icon we know of,
// is not consulted.
CodecResult MonochromeMask(FileView dib, const icon::IconDibLayout& layout,
                           const DecodeLimits& limits, std::shared_ptr<PixelStore>& mask) {
    const int64_t doubleHeight = int64_t{layout.height} * 2;
    if (!limits.AllowsPicture(layout.width, doubleHeight))
        return Refuse("icon: the picture is larger than the limits allow");
    mask = PixelStore::Allocate(layout.width, static_cast<int32_t>(doubleHeight));
    if (!mask) return Refuse("icon: no memory for the pixels");
    for (int32_t row = 0; row < layout.height; ++row) {
        uint32_t* out = mask->RowFromBottom(row);
        for (int32_t x = 0; x < layout.width; ++x)
            out[x] = icon::MonochromeXorBit(dib, layout, x, row) ? SetBit : ClearBit;
    }
    WriteAndMask(dib, layout, *mask, layout.height);
    return Decoded;
}

CodecResult ColorAndMask(FileView dib, const icon::IconDibLayout& layout,
                         const DecodeLimits& limits, std::shared_ptr<PixelStore>& color,
                         std::shared_ptr<PixelStore>& mask) {
    DecodedPicture picture;
    const CodecResult decoded = DecodeDib(dib, /*iconImage=*/true, limits, picture);
    // The directory already made this an icon, so a refusal means a broken image.
    if (decoded.status == CodecStatus::NotMyFormat)
        return Refuse("icon: the chosen image is not of the format it seems");
    if (!decoded.IsOk()) return decoded;
    if (!picture.pixels || picture.pixels->Width() != layout.width ||
        picture.pixels->Height() != layout.height) {
        return Refuse("icon: the image decodes to another size than its header states");
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
    if (!mask) return Refuse("icon: no memory for the pixels");
    WriteAndMask(dib, layout, *mask, 0);
    color = std::move(picture.pixels);
    return Decoded;
}

}  // namespace

bool LooksLikeIcon(FileView file) {
    return icon::LooksLikeIconDirectory(file);
}

CodecResult DecodeIcon(FileView file, const DecodeLimits& limits, DecodedIcon& out) {
    icon::ChosenIconImage chosen;
    if (const CodecResult chose = icon::ChooseIconImage(file, chosen); !chose.IsOk()) return chose;
    // PNG images are left to the GDI+ decoder (DecodeIconAsPicture).
    if (chosen.isPng) return Refuse("icon: the chosen image is PNG, for the second decoder");
    icon::IconDibLayout layout;
    if (const CodecResult read = icon::ReadIconDibLayout(chosen.image, limits, layout);
        !read.IsOk()) {
        return read;
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
    decoded.imageBits = layout.bitCount;
    const CodecResult made =
        layout.bitCount == 1
            ? MonochromeMask(chosen.image, layout, limits, decoded.mask)
            : ColorAndMask(chosen.image, layout, limits, decoded.color, decoded.mask);
    if (!made.IsOk()) return made;
    out = std::move(decoded);
    return Decoded;
}

}  // namespace pic2pnm::codecs

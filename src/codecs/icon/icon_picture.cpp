// The GDI+ icon decoder: the chosen image, BMP or PNG, as one picture with alpha.
#include "codecs/bmp/bmp.h"
#include "codecs/icon/icon.h"
#include "codecs/icon/icon_dib.h"
#include "codecs/icon/icon_directory.h"
#include "codecs/png/png.h"

namespace pic2pnm::codecs {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kColorBits = 0x00FFFFFFu;

// The GDI+ pixel format of an icon image of this depth; 32-bit images carry alpha.
uint32_t IconPixelFormat(uint16_t bitCount) {
    switch (bitCount) {
        case 1: return PixelFormat::Indexed1;
        case 2:  // GDI+ has no 2-bit format and widens such images to 4 bits
        case 4: return PixelFormat::Indexed4;
        case 8: return PixelFormat::Indexed8;
        case 16: return PixelFormat::Rgb555;
        case 24: return PixelFormat::Rgb24;
        default: return PixelFormat::Argb32;
    }
}

// A DIB image refused by DecodeDib or DecodePng after the directory made it ours is broken.
CodecStatus AsIconImageStatus(CodecStatus status) {
    return status == CodecStatus::NotMyFormat ? CodecStatus::Corrupt : status;
}

bool AlphaChannelIsEmpty(FileView dib, const icon::IconDibLayout& layout) {
    for (int32_t row = 0; row < layout.height; ++row) {
        for (int32_t x = 0; x < layout.width; ++x)
            if (icon::AlphaByte(dib, layout, x, row) != 0) return false;
    }
    return true;
}

CodecStatus DecodePngImage(FileView image, DecodedPicture& picture) {
    const CodecStatus status = DecodePng(image, picture);
    if (status != CodecStatus::Ok) return AsIconImageStatus(status);
    if (!picture.pixels) return CodecStatus::Corrupt;
    if (!picture.hasAlpha) {
        uint32_t* pixels = picture.pixels->Data();
        for (size_t i = 0; i < picture.pixels->PixelCount(); ++i) pixels[i] |= kOpaque;
    }
    return CodecStatus::Ok;
}

// 32-bit images carry their own alpha. Some writers leave those bytes all zero and rely on
// the AND mask, as older systems did; viewers then use the mask, and so do we. Other depths
// take alpha from the mask alone; an image that ends before its mask does is opaque.
CodecStatus DecodeDibImage(FileView dib, DecodedPicture& picture) {
    icon::IconDibLayout layout;
    if (CodecStatus status = icon::ReadIconDibLayout(dib, layout); status != CodecStatus::Ok)
        return status;
    const CodecStatus status = DecodeDib(dib, /*iconImage=*/true, picture);
    if (status != CodecStatus::Ok) return AsIconImageStatus(status);
    if (!picture.pixels || picture.pixels->Width() != layout.width ||
        picture.pixels->Height() != layout.height) {
        return CodecStatus::Corrupt;
    }
    const bool useAlphaChannel = layout.bitCount == 32 && !AlphaChannelIsEmpty(dib, layout);
    for (int32_t row = 0; row < layout.height; ++row) {
        uint32_t* pixels = picture.pixels->RowFromBottom(row);
        for (int32_t x = 0; x < layout.width; ++x) {
            uint32_t alpha = 0;
            if (useAlphaChannel)
                alpha = icon::AlphaByte(dib, layout, x, row);
            else
                alpha = icon::IsMaskTransparent(dib, layout, x, row) ? 0 : 0xFF;
            pixels[x] = (pixels[x] & kColorBits) | (alpha << 24);
        }
    }
    picture.premultipliedAlpha = false;
    picture.bitsPerPixel = icon::GdiBitsPerPixel(layout.bitCount);
    picture.pixelFormat = IconPixelFormat(layout.bitCount);
    return CodecStatus::Ok;
}

}  // namespace

CodecStatus DecodeIconAsPicture(FileView file, DecodedPicture& out) {
    icon::ChosenIconImage chosen;
    if (CodecStatus status = icon::ChooseIconImage(file, chosen); status != CodecStatus::Ok)
        return status;
    DecodedPicture picture;
    const CodecStatus status = chosen.isPng ? DecodePngImage(chosen.image, picture)
                                            : DecodeDibImage(chosen.image, picture);
    if (status != CodecStatus::Ok) return status;
    picture.width = picture.pixels->Width();
    picture.height = picture.pixels->Height();
    picture.hasAlpha = true;
    // Icons state no resolution.
    picture.dpiX = 0;
    picture.dpiY = 0;
    out = std::move(picture);
    return CodecStatus::Ok;
}

}  // namespace pic2pnm::codecs

// The GDI+ icon decoder: the chosen image, BMP or PNG, as one picture with alpha.
#include "codecs/bmp/bmp.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/icon/icon.h"
#include "codecs/icon/icon_dib.h"
#include "codecs/icon/icon_directory.h"
#include "codecs/png/png.h"

namespace pic2pnm::codecs {
namespace {

constexpr uint32_t OpaqueAlpha = 0xFF000000u;
constexpr uint32_t ColorBits = 0x00FFFFFFu;

// A DIB image refused by DecodeDib or DecodePng after the directory made it ours is broken.
CodecResult AsIconImageResult(CodecResult result) {
    if (result.status == CodecStatus::NotMyFormat)
        return Refuse("icon: the chosen image is not of the format it seems");
    return result;
}

constexpr CodecResult OtherSize =
    Refuse("icon: the image decodes to another size than its header states");

bool AlphaChannelIsEmpty(FileView dib, const icon::IconDibLayout& layout) {
    for (int32_t row = 0; row < layout.height; ++row) {
        for (int32_t x = 0; x < layout.width; ++x)
            if (icon::AlphaByte(dib, layout, x, row) != 0) return false;
    }
    return true;
}

// The PNG image as PNG describes it; without alpha of its own it is made opaque.
CodecResult DecodePngImage(FileView image, const DecodeLimits& limits, DecodedPicture& picture) {
    const CodecResult decoded = DecodePng(image, limits, picture);
    if (!decoded.IsOk()) return AsIconImageResult(decoded);
    if (!picture.pixels) return OtherSize;
    if (!picture.HasAlpha()) {
        uint32_t* pixels = picture.pixels->Data();
        for (size_t i = 0; i < picture.pixels->PixelCount(); ++i) pixels[i] |= OpaqueAlpha;
    }
    return Decoded;
}

// 32-bit images carry their own alpha. Some writers leave those bytes all zero and rely on
// the AND mask, as older systems did; viewers then use the mask, and so do we. Other depths
// take alpha from the mask alone; an image that ends before its mask does is opaque.
CodecResult DecodeDibImage(FileView dib, const DecodeLimits& limits, DecodedPicture& picture) {
    icon::IconDibLayout layout;
    if (const CodecResult read = icon::ReadIconDibLayout(dib, limits, layout); !read.IsOk())
        return read;
    const CodecResult decoded = DecodeDib(dib, /*iconImage=*/true, limits, picture);
    if (!decoded.IsOk()) return AsIconImageResult(decoded);
    if (!picture.pixels || picture.pixels->Width() != layout.width ||
        picture.pixels->Height() != layout.height) {
        return OtherSize;
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
            pixels[x] = (pixels[x] & ColorBits) | (alpha << 24);
        }
    }
    picture.source.alpha = useAlphaChannel ? AlphaKind::Straight : AlphaKind::Mask;
    return Decoded;
}

}  // namespace

CodecResult DecodeIconAsPicture(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    icon::ChosenIconImage chosen;
    if (const CodecResult chose = icon::ChooseIconImage(file, chosen); !chose.IsOk()) return chose;
    DecodedPicture picture;
    const CodecResult decoded = chosen.isPng ? DecodePngImage(chosen.image, limits, picture)
                                             : DecodeDibImage(chosen.image, limits, picture);
    if (!decoded.IsOk()) return decoded;
    picture.width = picture.pixels->Width();
    picture.height = picture.pixels->Height();
    // Icons state no resolution.
    picture.dpiX = 0;
    picture.dpiY = 0;
    out = std::move(picture);
    return Decoded;
}

}  // namespace pic2pnm::codecs

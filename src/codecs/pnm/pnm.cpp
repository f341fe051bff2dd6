// Netpbm pictures, read by our own decoder: PBM, PGM and PPM plain and raw, and PAM. Only the
// first image of a file that holds several is read.
#include <memory>
#include <utility>

#include "codecs/common/codec_reasons.h"
#include "codecs/pnm/pnm.h"
#include "codecs/pnm/pnm_header.h"
#include "codecs/pnm/pnm_raster.h"

namespace pic2pnm::codecs {
namespace {

using pnm::PnmHeader;
using pnm::PnmLayout;

// One bit a pixel for PBM; otherwise samples of one byte, or two above maxval 255.
SourceFormat SourceOf(const PnmHeader& header) {
    if (header.layout == PnmLayout::Bitmap)
        return {.channels = SourceChannels::Grey, .sampleBits = 1, .pixelBits = 1};
    const int sampleBits = header.maxval > 255 ? 16 : 8;
    const bool grey = header.layout == PnmLayout::Grey || header.layout == PnmLayout::GreyAlpha;
    const bool alpha =
        header.layout == PnmLayout::GreyAlpha || header.layout == PnmLayout::RgbAlpha;
    return {.channels = grey ? SourceChannels::Grey : SourceChannels::Colour,
            .sampleBits = static_cast<uint8_t>(sampleBits),
            .pixelBits = static_cast<uint8_t>(sampleBits * pnm::SamplesPerPixel(header.layout)),
            .alpha = alpha ? AlphaKind::Straight : AlphaKind::None};
}

// The fewest bytes the raster can take: every row of a raw raster in full; one character for
// each plain PBM pixel, and for other plain samples a digit each with a separator between.
uint64_t LeastRasterBytes(const PnmHeader& header) {
    if (!header.plain) return header.height * pnm::RawRowBytes(header);
    const uint64_t pixels = header.width * header.height;
    if (header.layout == PnmLayout::Bitmap) return pixels;
    return 2 * pixels * static_cast<uint64_t>(pnm::SamplesPerPixel(header.layout)) - 1;
}

}  // namespace

bool LooksLikePnm(FileView file) {
    return pnm::LooksLikePnmSignature(file);
}

CodecResult DecodePnm(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    PnmHeader header;
    if (const CodecResult parsed = pnm::ReadPnmHeader(file, header); !parsed.IsOk()) return parsed;
    // Both sides are now known to be small enough for the products below.
    if (!limits.AllowsPicture(static_cast<int64_t>(header.width),
                              static_cast<int64_t>(header.height)))
        return Refuse("pnm: the picture is larger than the limits allow");
    const FileView raster = file.subspan(header.rasterStart);
    if (raster.size() < LeastRasterBytes(header))
        return Refuse("pnm: the raster is shorter than the picture");

    const auto width = static_cast<int32_t>(header.width);
    const auto height = static_cast<int32_t>(header.height);
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(width, height);
    if (!store) return Refuse("pnm: no memory for the pixels");
    const CodecResult read = header.plain ? pnm::ReadPlainRaster(header, raster, *store)
                                          : pnm::ReadRawRaster(header, raster, *store);
    if (!read.IsOk()) return read;

    DecodedPicture picture;
    picture.width = width;
    picture.height = height;
    picture.source = SourceOf(header);
    picture.pixels = std::move(store);
    out = std::move(picture);
    return Decoded;
}

}  // namespace pic2pnm::codecs

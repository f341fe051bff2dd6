// Netpbm pictures, read by our own decoder: PBM, PGM and PPM plain and raw, and PAM. Only the
// first image of a file that holds several is read.
#include <memory>
#include <utility>

#include "codecs/pnm/pnm.h"
#include "codecs/pnm/pnm_header.h"
#include "codecs/pnm/pnm_raster.h"

namespace pic2pnm::codecs {
namespace {

using pnm::PnmHeader;
using pnm::PnmLayout;

// The depth a GDI bitmap of the picture would have, as for PNG: one bit for PBM, an 8-bit
// palette for grey, 32 bits with alpha, 24 for the rest.
void DescribeSource(const PnmHeader& header, DecodedPicture& out) {
    const bool wide = header.maxval > 255;
    switch (header.layout) {
        case PnmLayout::Bitmap:
            out.bitsPerPixel = 1;
            out.pixelFormat = PixelFormat::Indexed1;
            break;
        case PnmLayout::Grey:
            out.bitsPerPixel = wide ? 24 : 8;
            out.pixelFormat = wide ? PixelFormat::Gray16 : PixelFormat::Indexed8;
            break;
        case PnmLayout::Rgb:
            out.bitsPerPixel = 24;
            out.pixelFormat = wide ? PixelFormat::Rgb48 : PixelFormat::Rgb24;
            break;
        case PnmLayout::GreyAlpha:
        case PnmLayout::RgbAlpha:
            out.bitsPerPixel = 32;
            out.pixelFormat = wide ? PixelFormat::Argb64 : PixelFormat::Argb32;
            out.hasAlpha = true;
            break;
    }
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

CodecStatus DecodePnm(FileView file, DecodedPicture& out) {
    PnmHeader header;
    if (CodecStatus status = pnm::ReadPnmHeader(file, header); status != CodecStatus::Ok)
        return status;
    // Both sides are now known to be small enough for the products below.
    if (!IsPictureSizeSupported(static_cast<int64_t>(header.width),
                                static_cast<int64_t>(header.height)))
        return CodecStatus::TooLarge;
    const FileView raster = file.subspan(header.rasterStart);
    if (raster.size() < LeastRasterBytes(header)) return CodecStatus::Corrupt;

    const auto width = static_cast<int32_t>(header.width);
    const auto height = static_cast<int32_t>(header.height);
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(width, height);
    if (!store) return CodecStatus::OutOfMemory;
    const CodecStatus status = header.plain ? pnm::ReadPlainRaster(header, raster, *store)
                                            : pnm::ReadRawRaster(header, raster, *store);
    if (status != CodecStatus::Ok) return status;

    DecodedPicture picture;
    picture.width = width;
    picture.height = height;
    DescribeSource(header, picture);
    picture.pixels = std::move(store);
    out = std::move(picture);
    return CodecStatus::Ok;
}

}  // namespace pic2pnm::codecs

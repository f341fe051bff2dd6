// BMP files and headerless DIBs: both come down to an info header, a colour table and the
// pixels; only where the colour table ends and the pixels start differs.
#include <memory>
#include <utility>

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/bmp_bit_fields.h"
#include "codecs/bmp/bmp_dib_header.h"
#include "codecs/bmp/bmp_palette.h"
#include "codecs/bmp/bmp_rle.h"
#include "codecs/bmp/bmp_rows.h"
#include "codecs/common/byte_order.h"

namespace pic2pnm::codecs {
namespace {

using bmp::ChannelMasks;
using bmp::DibCompression;
using bmp::DibHeader;
using bmp::Palette;

constexpr size_t kFileHeaderSize = 14;  // "BM", file size, two reserved words, pixel offset

// What the pixel decoders need once the header, colour table and pixel start are known.
struct DibLayout {
    DibHeader header;
    int32_t rows = 0;  // of the picture delivered; half the header's height for icon images
    Palette palette{};
    FileView pixels;  // from the first pixel byte to the end of the input
    bool keepAlphaByte = false;
};

bool IsRunLength(const DibHeader& header) {
    return header.compression == DibCompression::Rle8 || header.compression == DibCompression::Rle4;
}

bool HasAlpha(const DibLayout& layout) {
    const DibHeader& header = layout.header;
    if (header.compression == DibCompression::BitFields) return header.masks.alpha != 0;
    return layout.keepAlphaByte && header.bitCount == 32;
}

// The bit depth and pixel format GDI and GDI+ report for the source.
void DescribeSource(const DibLayout& layout, DecodedPicture& out) {
    const DibHeader& header = layout.header;
    bool alpha = HasAlpha(layout);
    out.hasAlpha = alpha;
    switch (header.bitCount) {
        case 1:
            out.bitsPerPixel = 1;
            out.pixelFormat = PixelFormat::Indexed1;
            break;
        case 2:  // no 2-bit format exists there; the pictures are shown as 4-bit ones
        case 4:
            out.bitsPerPixel = 4;
            out.pixelFormat = PixelFormat::Indexed4;
            break;
        case 8:
            out.bitsPerPixel = 8;
            out.pixelFormat = PixelFormat::Indexed8;
            break;
        case 16: {
            const ChannelMasks& m = header.masks;
            bool is565 = header.compression == DibCompression::BitFields &&
                         m.red == bmp::kRgb565Masks.red && m.green == bmp::kRgb565Masks.green &&
                         m.blue == bmp::kRgb565Masks.blue;
            out.bitsPerPixel = 16;
            out.pixelFormat =
                alpha ? PixelFormat::Argb32 : (is565 ? PixelFormat::Rgb565 : PixelFormat::Rgb555);
            break;
        }
        case 24:
            out.bitsPerPixel = 24;
            out.pixelFormat = PixelFormat::Rgb24;
            break;
        default:
            out.bitsPerPixel = 32;
            out.pixelFormat = alpha ? PixelFormat::Argb32 : PixelFormat::Rgb32;
            break;
    }
}

float DotsPerInch(int32_t pelsPerMeter) {
    return pelsPerMeter > 0 ? static_cast<float>(pelsPerMeter * 0.0254) : 0.0f;
}

// The size check comes before any offset or length check, so that a huge declared size is
// reported as such even in a file far too short for it.
CodecStatus CheckPictureSize(const DibHeader& header, int64_t rows) {
    return IsPictureSizeSupported(header.width, rows) ? CodecStatus::Ok : CodecStatus::TooLarge;
}

CodecStatus DecodePixels(const DibLayout& layout, DecodedPicture& out) {
    const DibHeader& header = layout.header;
    bool runLength = IsRunLength(header);
    if (!runLength) {
        uint64_t needed = 0;
        if (!bmp::UncompressedPixelBytes(header, layout.rows, needed) ||
            layout.pixels.size() < needed)
            return CodecStatus::Corrupt;
    }
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(header.width, layout.rows);
    if (!store) return CodecStatus::OutOfMemory;
    CodecStatus status =
        runLength ? bmp::DecodeRle(header, layout.palette, layout.pixels, *store)
                  : bmp::DecodeUncompressedRows(header, layout.palette, layout.keepAlphaByte,
                                                layout.pixels, *store);
    if (status != CodecStatus::Ok) return status;

    DecodedPicture picture;
    picture.width = header.width;
    picture.height = layout.rows;
    DescribeSource(layout, picture);
    picture.dpiX = DotsPerInch(header.xPelsPerMeter);
    picture.dpiY = DotsPerInch(header.yPelsPerMeter);
    picture.pixels = std::move(store);
    out = std::move(picture);
    return CodecStatus::Ok;
}

}  // namespace

bool LooksLikeBmp(FileView file) {
    return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
}

CodecStatus DecodeBmp(FileView file, DecodedPicture& out) {
    if (!LooksLikeBmp(file)) return CodecStatus::NotMyFormat;
    if (file.size() < kFileHeaderSize) return CodecStatus::Corrupt;
    DibLayout layout;
    FileView dib = file.subspan(kFileHeaderSize);
    CodecStatus status = bmp::ParseDibHeader(dib, layout.header);
    if (status != CodecStatus::Ok) return status;
    const DibHeader& header = layout.header;
    status = CheckPictureSize(header, header.height);
    if (status != CodecStatus::Ok) return status;
    layout.rows = static_cast<int32_t>(header.height);

    // The pixels start where the file header says, which must be past the info header and
    // masks. The colour table is whatever of the declared one fits in front of them.
    uint32_t pixelOffset = ReadLe32(file.data() + 10);
    size_t tableStart = kFileHeaderSize + header.colorTableOffset;
    if (pixelOffset < tableStart || pixelOffset > file.size()) return CodecStatus::Corrupt;
    if (header.bitCount <= 8) {
        FileView table = file.subspan(tableStart, pixelOffset - tableStart);
        layout.palette = bmp::ReadPalette(table, bmp::ColorTableEntrySize(header),
                                          bmp::DeclaredColorTableEntries(header));
    }
    layout.pixels = file.subspan(pixelOffset);
    return DecodePixels(layout, out);
}

CodecStatus DecodeDib(FileView dib, bool iconImage, DecodedPicture& out) {
    DibLayout layout;
    CodecStatus status = bmp::ParseDibHeader(dib, layout.header);
    if (status != CodecStatus::Ok) return status;
    const DibHeader& header = layout.header;
    int64_t rows = header.height;
    if (iconImage) {
        // The header counts the colour image and the AND mask below it; both are bottom-up
        // and uncompressed.
        if (header.topDown || header.compression != DibCompression::Rgb)
            return CodecStatus::Corrupt;
        rows = header.height / 2;
        if (rows == 0) return CodecStatus::Corrupt;
        layout.keepAlphaByte = true;  // 32-bit icon images carry alpha in the fourth byte
    }
    status = CheckPictureSize(header, rows);
    if (status != CodecStatus::Ok) return status;
    layout.rows = static_cast<int32_t>(rows);

    // Here the pixels follow the colour table directly, so the declared table must be whole.
    uint64_t tableBytes =
        uint64_t{bmp::DeclaredColorTableEntries(header)} * bmp::ColorTableEntrySize(header);
    uint64_t pixelStart = header.colorTableOffset + tableBytes;
    if (pixelStart > dib.size()) return CodecStatus::Corrupt;
    if (header.bitCount <= 8) {
        FileView table = dib.subspan(header.colorTableOffset, static_cast<size_t>(tableBytes));
        layout.palette = bmp::ReadPalette(table, bmp::ColorTableEntrySize(header),
                                          bmp::DeclaredColorTableEntries(header));
    }
    layout.pixels = dib.subspan(static_cast<size_t>(pixelStart));
    return DecodePixels(layout, out);
}

}  // namespace pic2pnm::codecs

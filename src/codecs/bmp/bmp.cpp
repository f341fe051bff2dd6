// BMP files and headerless DIBs: both come down to an info header, a colour table and the
// pixels; only where the colour table ends and the pixels start differs.
#include <algorithm>
#include <bit>
#include <memory>
#include <utility>

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/bmp_bit_fields.h"
#include "codecs/bmp/bmp_dib_header.h"
#include "codecs/bmp/bmp_palette.h"
#include "codecs/bmp/bmp_rle.h"
#include "codecs/bmp/bmp_rows.h"
#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs {
namespace {

using bmp::ChannelMasks;
using bmp::DibCompression;
using bmp::DibHeader;
using bmp::Palette;

constexpr size_t FileHeaderSize = 14;  // "BM", file size, two reserved words, pixel offset

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

// The widest colour sample of packed pixels: 8 for 24 and 32 bits without masks. A 16-bit
// picture is told as 5-6-5 (6) when its masks are exactly that layout's, and otherwise as
// the 5-5-5 layout it has without masks (5), whatever its masks: bitmaps of 16 bits are the
// one or the other.
uint8_t WidestSampleBits(const DibHeader& header) {
    if (header.compression != DibCompression::BitFields) return header.bitCount == 16 ? 5 : 8;
    const ChannelMasks& m = header.masks;
    if (header.bitCount == 16)
        return m.red == bmp::Rgb565Masks.red && m.green == bmp::Rgb565Masks.green &&
                       m.blue == bmp::Rgb565Masks.blue
                   ? 6
                   : 5;
    return static_cast<uint8_t>(
        std::max({std::popcount(m.red), std::popcount(m.green), std::popcount(m.blue)}));
}

SourceFormat SourceOf(const DibLayout& layout) {
    const DibHeader& header = layout.header;
    const bool indexed = header.bitCount <= 8;
    return {
        .channels = SourceChannels::Colour,
        .sampleBits = indexed ? static_cast<uint8_t>(header.bitCount) : WidestSampleBits(header),
        .pixelBits = static_cast<uint8_t>(header.bitCount),
        .alpha = HasAlpha(layout) ? AlphaKind::Straight : AlphaKind::None,
        .paletteEntries = indexed ? bmp::DeclaredColorTableEntries(header) : 0};
}

float DotsPerInch(int32_t pelsPerMeter) {
    return pelsPerMeter > 0 ? static_cast<float>(pelsPerMeter * 0.0254) : 0.0f;
}

// The size check comes before any offset or length check, so that a huge declared size is
// reported as such even in a file far too short for it.
CodecResult CheckPictureSize(const DibHeader& header, int64_t rows, const DecodeLimits& limits) {
    if (!limits.AllowsPicture(header.width, rows))
        return Refuse("bmp: the picture is larger than the limits allow");
    return Decoded;
}

CodecResult DecodePixels(const DibLayout& layout, DecodedPicture& out) {
    const DibHeader& header = layout.header;
    bool runLength = IsRunLength(header);
    if (!runLength) {
        uint64_t needed = 0;
        if (!bmp::UncompressedPixelBytes(header, layout.rows, needed) ||
            layout.pixels.size() < needed)
            return Refuse("bmp: the pixels run past the end of the file");
    }
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(header.width, layout.rows);
    if (!store) return Refuse("bmp: no memory for the pixels");
    const CodecResult decoded =
        runLength ? bmp::DecodeRle(header, layout.palette, layout.pixels, *store)
                  : bmp::DecodeUncompressedRows(header, layout.palette, layout.keepAlphaByte,
                                                layout.pixels, *store);
    if (!decoded.IsOk()) return decoded;

    DecodedPicture picture;
    picture.width = header.width;
    picture.height = layout.rows;
    picture.source = SourceOf(layout);
    picture.dpiX = DotsPerInch(header.xPelsPerMeter);
    picture.dpiY = DotsPerInch(header.yPelsPerMeter);
    picture.pixels = std::move(store);
    out = std::move(picture);
    return Decoded;
}

}  // namespace

bool LooksLikeBmp(FileView file) {
    return file.size() >= 2 && file[0] == 'B' && file[1] == 'M';
}

CodecResult DecodeBmp(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeBmp(file)) return Refuse("bmp: no BMP signature");
    if (file.size() < FileHeaderSize) return Refuse("bmp: the file header is cut short");
    DibLayout layout;
    FileView dib = file.subspan(FileHeaderSize);
    if (const CodecResult parsed = bmp::ParseDibHeader(dib, layout.header); !parsed.IsOk())
        return parsed;
    const DibHeader& header = layout.header;
    if (const CodecResult size = CheckPictureSize(header, header.height, limits); !size.IsOk())
        return size;
    layout.rows = static_cast<int32_t>(header.height);

    // The pixels start where the file header says, which must be past the info header and
    // masks. The colour table is whatever of the declared one fits in front of them.
    uint32_t pixelOffset = ReadLe32(file.data() + 10);
    size_t tableStart = FileHeaderSize + header.colorTableOffset;
    if (pixelOffset < tableStart || pixelOffset > file.size())
        return Refuse("bmp: the pixel offset is inside the headers or past the file");
    if (header.bitCount <= 8) {
        FileView table = file.subspan(tableStart, pixelOffset - tableStart);
        layout.palette = bmp::ReadPalette(table, bmp::ColorTableEntrySize(header),
                                          bmp::DeclaredColorTableEntries(header));
    }
    layout.pixels = file.subspan(pixelOffset);
    return DecodePixels(layout, out);
}

CodecResult DecodeDib(FileView dib, bool iconImage, const DecodeLimits& limits,
                      DecodedPicture& out) {
    DibLayout layout;
    if (const CodecResult parsed = bmp::ParseDibHeader(dib, layout.header); !parsed.IsOk())
        return parsed;
    const DibHeader& header = layout.header;
    int64_t rows = header.height;
    if (iconImage) {
        // The header counts the colour image and the AND mask below it; both are bottom-up
        // and uncompressed.
        if (header.topDown || header.compression != DibCompression::Rgb)
            return Refuse("bmp: an icon image stored top-down or compressed");
        rows = header.height / 2;
        if (rows == 0) return Refuse("bmp: an icon image of no rows");
        layout.keepAlphaByte = true;  // 32-bit icon images carry alpha in the fourth byte
    }
    if (const CodecResult size = CheckPictureSize(header, rows, limits); !size.IsOk()) return size;
    layout.rows = static_cast<int32_t>(rows);

    // Here the pixels follow the colour table directly, so the declared table must be whole.
    uint64_t tableBytes =
        uint64_t{bmp::DeclaredColorTableEntries(header)} * bmp::ColorTableEntrySize(header);
    uint64_t pixelStart = header.colorTableOffset + tableBytes;
    if (pixelStart > dib.size()) return Refuse("bmp: the colour table runs past the image");
    if (header.bitCount <= 8) {
        FileView table = dib.subspan(header.colorTableOffset, static_cast<size_t>(tableBytes));
        layout.palette = bmp::ReadPalette(table, bmp::ColorTableEntrySize(header),
                                          bmp::DeclaredColorTableEntries(header));
    }
    layout.pixels = dib.subspan(static_cast<size_t>(pixelStart));
    return DecodePixels(layout, out);
}

}  // namespace pic2pnm::codecs

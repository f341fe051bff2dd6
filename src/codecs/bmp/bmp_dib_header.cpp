#include "codecs/bmp/bmp_dib_header.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs::bmp {
namespace {

// The header sizes Windows writes; any other size from 16 to 64 bytes is an OS/2 2.x header,
// which shares the first fields but gives compression codes 3 and 4 other meanings.
enum class HeaderKind { Core, Windows, Os2, Unknown };

constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;

HeaderKind ClassifyHeader(uint32_t size) {
    switch (size) {
        case CoreHeaderSize: return HeaderKind::Core;
        case InfoHeaderSize:
        case 52:   // V2: red, green and blue masks in the header
        case 56:   // V3: and the alpha mask
        case 108:  // V4
        case 124:  // V5
            return HeaderKind::Windows;
        default: return size >= 16 && size <= 64 ? HeaderKind::Os2 : HeaderKind::Unknown;
    }
}

// Compression codes as stored in the header.
constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiRle8 = 1;
constexpr uint32_t BiRle4 = 2;
constexpr uint32_t BiBitFields = 3;  // Huffman 1D in an OS/2 2.x header: not read
constexpr uint32_t BiAlphaBitFields = 6;

bool IsContiguous(uint32_t mask) {
    if (mask == 0) return true;
    uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;  // 0b0111 & 0b1000 == 0; wraps to 0 for all ones
}

bool IsValidBitCount(DibCompression compression, uint16_t bitCount) {
    switch (compression) {
        case DibCompression::Rgb:
            return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 ||
                   bitCount == 16 || bitCount == 24 || bitCount == 32;
        case DibCompression::Rle8: return bitCount == 8;
        case DibCompression::Rle4: return bitCount == 4;
        case DibCompression::BitFields: return bitCount == 16 || bitCount == 32;
    }
    return false;
}

CodecResult ParseCoreHeader(FileView dib, DibHeader& out) {
    // Width and height are unsigned 16-bit values: core bitmaps are always bottom-up.
    out.width = ReadLe16(dib.data() + 4);
    out.height = ReadLe16(dib.data() + 6);
    out.bitCount = ReadLe16(dib.data() + 10);
    out.coreColorTable = true;
    out.colorTableOffset = CoreHeaderSize;
    return Decoded;
}

// Masks of a bit-field picture: inside a V2 or later header, or right after a 40-byte one.
CodecResult ReadMasks(FileView dib, const uint8_t* fields, uint32_t compressionCode,
                      DibHeader& out) {
    if (out.headerSize == InfoHeaderSize) {
        size_t maskCount = compressionCode == BiAlphaBitFields ? 4 : 3;
        size_t end = InfoHeaderSize + 4 * maskCount;
        if (dib.size() < end) return Refuse("bmp: the bit field masks are cut short");
        fields = dib.data();
        out.masks.alpha = maskCount == 4 ? ReadLe32(fields + 52) : 0;
        out.colorTableOffset = end;
    } else {
        out.masks.alpha = out.headerSize >= 56 ? ReadLe32(fields + 52) : 0;
    }
    out.masks.red = ReadLe32(fields + 40);
    out.masks.green = ReadLe32(fields + 44);
    out.masks.blue = ReadLe32(fields + 48);
    const ChannelMasks& m = out.masks;
    if ((m.red | m.green | m.blue) == 0) return Refuse("bmp: every colour mask is 0");
    bool contiguous = IsContiguous(m.red) && IsContiguous(m.green) && IsContiguous(m.blue) &&
                      IsContiguous(m.alpha);
    if (!contiguous) return Refuse("bmp: a bit field mask has gaps");
    return Decoded;
}

CodecResult ParseInfoHeader(FileView dib, HeaderKind kind, DibHeader& out) {
    // An OS/2 2.x header may stop after any field; the fields it leaves out read as zero.
    std::array<uint8_t, 56> fields{};
    std::memcpy(fields.data(), dib.data(), std::min<size_t>(out.headerSize, fields.size()));
    const uint8_t* f = fields.data();
    out.width = static_cast<int32_t>(ReadLe32(f + 4));
    int32_t height = static_cast<int32_t>(ReadLe32(f + 8));
    out.topDown = height < 0;
    out.height = height < 0 ? -int64_t{height} : int64_t{height};
    out.bitCount = ReadLe16(f + 14);
    out.xPelsPerMeter = static_cast<int32_t>(ReadLe32(f + 24));
    out.yPelsPerMeter = static_cast<int32_t>(ReadLe32(f + 28));
    out.colorsUsed = ReadLe32(f + 32);
    out.colorTableOffset = out.headerSize;

    uint32_t code = ReadLe32(f + 16);
    if (code == BiRgb) {
        out.compression = DibCompression::Rgb;
    } else if (code == BiRle8) {
        out.compression = DibCompression::Rle8;
    } else if (code == BiRle4) {
        out.compression = DibCompression::Rle4;
    } else if ((code == BiBitFields || code == BiAlphaBitFields) && kind == HeaderKind::Windows) {
        out.compression = DibCompression::BitFields;
        return ReadMasks(dib, f, code, out);
    } else {
        // Huffman, RLE24, embedded JPEG or PNG, CMYK...
        return Refuse("bmp: a compression this decoder does not read");
    }
    return Decoded;
}

}  // namespace

CodecResult ParseDibHeader(FileView dib, DibHeader& out) {
    if (dib.size() < 4) return Refuse("bmp: the info header is cut short");
    DibHeader header;
    header.headerSize = ReadLe32(dib.data());
    HeaderKind kind = ClassifyHeader(header.headerSize);
    if (kind == HeaderKind::Unknown) return Refuse("bmp: an info header of a size none has");
    if (header.headerSize > dib.size()) return Refuse("bmp: the info header is cut short");
    const CodecResult fields = kind == HeaderKind::Core ? ParseCoreHeader(dib, header)
                                                        : ParseInfoHeader(dib, kind, header);
    if (!fields.IsOk()) return fields;
    if (header.width <= 0 || header.height == 0)
        return Refuse("bmp: the width is not positive or the height is 0");
    if (!IsValidBitCount(header.compression, header.bitCount))
        return Refuse("bmp: a bit count the compression does not take");
    // Run-length data has no top-down form.
    bool runLength =
        header.compression == DibCompression::Rle8 || header.compression == DibCompression::Rle4;
    if (runLength && header.topDown) return Refuse("bmp: run-length pixels stored top-down");
    out = header;
    return Decoded;
}

uint32_t DeclaredColorTableEntries(const DibHeader& header) {
    if (header.bitCount > 8) return header.coreColorTable ? 0 : header.colorsUsed;
    uint32_t limit = 1u << header.bitCount;
    if (header.coreColorTable || header.colorsUsed == 0) return limit;
    return std::min(header.colorsUsed, limit);
}

}  // namespace pic2pnm::codecs::bmp

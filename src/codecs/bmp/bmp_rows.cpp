#include "codecs/bmp/bmp_rows.h"

#include <memory>
#include <new>

#include "codecs/bmp/bmp_bit_fields.h"
#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs::bmp {
namespace {

uint64_t RowStride(const DibHeader& header) {
    uint64_t bits = static_cast<uint64_t>(header.width) * header.bitCount;
    return (bits + 31) / 32 * 4;
}

// Calls convert(source row, destination row) for every row, in file order.
template <typename Convert>
void ForEachRow(const DibHeader& header, FileView pixels, PixelStore& store, Convert convert) {
    size_t stride = static_cast<size_t>(RowStride(header));
    for (int32_t row = 0; row < store.Height(); ++row) {
        const uint8_t* source = pixels.data() + static_cast<size_t>(row) * stride;
        uint32_t* target = header.topDown ? store.RowFromTop(row) : store.RowFromBottom(row);
        convert(source, target);
    }
}

// 1, 2 and 4 bits per pixel, the leftmost pixel in the highest bits of each byte.
template <int Bits>
void ExpandIndexedRow(const uint8_t* source, uint32_t* target, int32_t width,
                      const Palette& palette) {
    constexpr int PerByte = 8 / Bits;
    constexpr unsigned IndexMask = (1u << Bits) - 1;
    int32_t x = 0;
    for (; x + PerByte <= width; x += PerByte) {
        unsigned byte = *source++;
        for (int k = 0; k < PerByte; ++k)
            target[x + k] = palette[(byte >> (8 - Bits * (k + 1))) & IndexMask];
    }
    if (x < width) {
        unsigned byte = *source;
        for (int k = 0; x < width; ++k, ++x)
            target[x] = palette[(byte >> (8 - Bits * (k + 1))) & IndexMask];
    }
}

void DecodeIndexed(const DibHeader& header, const Palette& palette, FileView pixels,
                   PixelStore& store) {
    int32_t width = header.width;
    switch (header.bitCount) {
        case 1:
            ForEachRow(header, pixels, store, [&](const uint8_t* s, uint32_t* t) {
                ExpandIndexedRow<1>(s, t, width, palette);
            });
            break;
        case 2:
            ForEachRow(header, pixels, store, [&](const uint8_t* s, uint32_t* t) {
                ExpandIndexedRow<2>(s, t, width, palette);
            });
            break;
        case 4:
            ForEachRow(header, pixels, store, [&](const uint8_t* s, uint32_t* t) {
                ExpandIndexedRow<4>(s, t, width, palette);
            });
            break;
        default:
            ForEachRow(header, pixels, store, [&](const uint8_t* s, uint32_t* t) {
                for (int32_t x = 0; x < width; ++x) t[x] = palette[s[x]];
            });
            break;
    }
}

void Decode24(const DibHeader& header, FileView pixels, PixelStore& store) {
    int32_t width = header.width;
    ForEachRow(header, pixels, store, [width](const uint8_t* s, uint32_t* t) {
        for (int32_t x = 0; x < width; ++x, s += 3)
            t[x] = OpaqueBlack | (uint32_t{s[2]} << 16) | (uint32_t{s[1]} << 8) | s[0];
    });
}

// Blue, green, red, alpha bytes: the little-endian value is already our pixel.
void DecodeBgra32(const DibHeader& header, bool keepAlpha, FileView pixels, PixelStore& store) {
    int32_t width = header.width;
    uint32_t opaque = keepAlpha ? 0 : OpaqueBlack;
    ForEachRow(header, pixels, store, [width, opaque](const uint8_t* s, uint32_t* t) {
        for (int32_t x = 0; x < width; ++x, s += 4) t[x] = ReadLe32(s) | opaque;
    });
}

// Every 16-bit value is looked up in a table built once from the masks.
CodecResult Decode16(const DibHeader& header, const ChannelMasks& masks, FileView pixels,
                     PixelStore& store) {
    BitFieldConverter converter;
    if (!converter.Init(masks)) return Refuse("bmp: no memory for the bit field tables");
    std::unique_ptr<uint32_t[]> table(new (std::nothrow) uint32_t[0x10000]);
    if (!table) return Refuse("bmp: no memory for the bit field tables");
    for (uint32_t value = 0; value <= 0xFFFF; ++value) table[value] = converter.Convert(value);
    int32_t width = header.width;
    const uint32_t* lookup = table.get();
    ForEachRow(header, pixels, store, [width, lookup](const uint8_t* s, uint32_t* t) {
        for (int32_t x = 0; x < width; ++x, s += 2) t[x] = lookup[ReadLe16(s)];
    });
    return Decoded;
}

bool IsBgra32Layout(const ChannelMasks& masks) {
    return masks.red == 0x00FF0000 && masks.green == 0x0000FF00 && masks.blue == 0x000000FF &&
           (masks.alpha == 0 || masks.alpha == 0xFF000000);
}

CodecResult Decode32BitFields(const DibHeader& header, FileView pixels, PixelStore& store) {
    if (IsBgra32Layout(header.masks)) {
        DecodeBgra32(header, header.masks.alpha != 0, pixels, store);
        return Decoded;
    }
    BitFieldConverter converter;
    if (!converter.Init(header.masks)) return Refuse("bmp: no memory for the bit field tables");
    int32_t width = header.width;
    ForEachRow(header, pixels, store, [width, &converter](const uint8_t* s, uint32_t* t) {
        for (int32_t x = 0; x < width; ++x, s += 4) t[x] = converter.Convert(ReadLe32(s));
    });
    return Decoded;
}

}  // namespace

bool UncompressedPixelBytes(const DibHeader& header, int64_t rows, uint64_t& bytes) {
    if (rows < 1) return false;
    uint64_t stride = RowStride(header);
    uint64_t lastRow = (static_cast<uint64_t>(header.width) * header.bitCount + 7) / 8;
    uint64_t fullRows = 0;
    if (__builtin_mul_overflow(stride, static_cast<uint64_t>(rows - 1), &fullRows)) return false;
    return !__builtin_add_overflow(fullRows, lastRow, &bytes);
}

CodecResult DecodeUncompressedRows(const DibHeader& header, const Palette& palette,
                                   bool keepAlphaByte, FileView pixels, PixelStore& store) {
    uint64_t needed = 0;
    if (!UncompressedPixelBytes(header, store.Height(), needed) || pixels.size() < needed)
        return Refuse("bmp: the pixels run past the end of the file");
    bool bitFields = header.compression == DibCompression::BitFields;
    switch (header.bitCount) {
        case 16: return Decode16(header, bitFields ? header.masks : Rgb555Masks, pixels, store);
        case 24: Decode24(header, pixels, store); return Decoded;
        case 32:
            if (bitFields) return Decode32BitFields(header, pixels, store);
            DecodeBgra32(header, keepAlphaByte, pixels, store);
            return Decoded;
        default: DecodeIndexed(header, palette, pixels, store); return Decoded;
    }
}

}  // namespace pic2pnm::codecs::bmp

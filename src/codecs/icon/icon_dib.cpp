#include "codecs/icon/icon_dib.h"

#include <algorithm>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/common/pixel_store.h"

namespace pic2pnm::codecs::icon {
namespace {

constexpr uint32_t CoreHeaderSize = 12;

// The sizes Windows writes (40 and the later versions), and OS/2 2.x headers, which may stop
// after any field from 16 to 64 bytes. The same sizes DecodeDib reads.
bool IsKnownHeaderSize(uint32_t size) {
    switch (size) {
        case 40:
        case 52:
        case 56:
        case 108:
        case 124: return true;
        default: return size >= 16 && size <= 64;
    }
}

constexpr uint32_t Uncompressed = 0;  // the DIB compression of an icon image

bool IsIconBitCount(uint16_t bitCount) {
    return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
           bitCount == 24 || bitCount == 32;
}

// Bytes per row of `bitsPerPixel` pixels, padded to a multiple of 4 bytes as DIB rows are.
size_t PaddedRowBytes(int32_t width, uint16_t bitsPerPixel) {
    const uint64_t bits = static_cast<uint64_t>(width) * bitsPerPixel;
    return static_cast<size_t>((bits + 31) / 32 * 4);
}

// Bytes of colour table between the info header and the XOR pixels, counted as DecodeDib
// counts them, since the mask is found after the pixels it decodes: up to 8 bits, the
// entries the header says are used (none said: all the depth can index; never more); above
// 8 bits, a table only when the header says how many entries are used.
uint64_t ColorTableBytes(const DibHeaderFields& header) {
    if (header.coreHeader) return header.bitCount <= 8 ? (uint64_t{1} << header.bitCount) * 3 : 0;
    if (header.bitCount > 8) return uint64_t{header.colorsUsed} * 4;
    const uint32_t depthEntries = uint32_t{1} << header.bitCount;
    const uint32_t entries =
        header.colorsUsed == 0 ? depthEntries : std::min(header.colorsUsed, depthEntries);
    return uint64_t{entries} * 4;
}

bool Bit(FileView dib, size_t rowOffset, int32_t x) {
    const uint8_t byte = dib[rowOffset + static_cast<size_t>(x) / 8];
    return ((byte >> (7 - x % 8)) & 1) != 0;
}

}  // namespace

bool ReadDibHeaderFields(FileView dib, DibHeaderFields& out) {
    if (dib.size() < 4) return false;
    const uint32_t headerSize = ReadLe32(dib, 0);
    if (headerSize > dib.size()) return false;
    out = DibHeaderFields{};
    out.headerSize = headerSize;
    if (headerSize == CoreHeaderSize) {
        out.coreHeader = true;
        out.width = ReadLe16(dib, 4);
        out.heightWithMask = ReadLe16(dib, 6);
        out.bitCount = ReadLe16(dib, 10);
        return true;
    }
    if (!IsKnownHeaderSize(headerSize)) return false;
    out.width = ReadLeSigned32(dib, 4);
    out.heightWithMask = ReadLeSigned32(dib, 8);
    out.bitCount = ReadLe16(dib, 14);
    // Short OS/2 headers end early; the fields they leave out are zero.
    if (headerSize >= 20) out.compression = ReadLe32(dib, 16);
    if (headerSize >= 36) out.colorsUsed = ReadLe32(dib, 32);
    return true;
}

CodecResult ReadIconDibLayout(FileView dib, const DecodeLimits& limits, IconDibLayout& out) {
    DibHeaderFields header;
    if (!ReadDibHeaderFields(dib, header))
        return Refuse("icon: an image's info header is cut short or of no known size");
    if (!IsIconBitCount(header.bitCount) || header.compression != Uncompressed)
        return Refuse("icon: an image of a depth or compression icons do not have");
    // Icons are bottom-up, and the height counts both the XOR image and the AND mask.
    const int32_t height = header.heightWithMask / 2;
    if (header.width <= 0 || height <= 0) return Refuse("icon: an image of no pixels");
    if (!limits.AllowsPicture(header.width, height))
        return Refuse("icon: the picture is larger than the limits allow");

    IconDibLayout layout;
    layout.width = header.width;
    layout.height = height;
    layout.bitCount = header.bitCount;
    layout.xorStride = PaddedRowBytes(header.width, header.bitCount);
    layout.maskStride = PaddedRowBytes(header.width, 1);

    // Both rows fit in 4 * width + 4 bytes, and width * height is bounded by the check above,
    // but every sum is still checked: the offsets come from the file.
    size_t xorBytes = 0;
    size_t maskBytes = 0;
    size_t xorEnd = 0;
    size_t maskEnd = 0;
    constexpr CodecResult PastTheImage = Refuse("icon: an image's pixels run past its end");
    const uint64_t colorTable = ColorTableBytes(header);
    if (colorTable > dib.size()) return PastTheImage;
    if (__builtin_add_overflow(size_t{header.headerSize}, static_cast<size_t>(colorTable),
                               &layout.xorOffset) ||
        __builtin_mul_overflow(layout.xorStride, static_cast<size_t>(height), &xorBytes) ||
        __builtin_add_overflow(layout.xorOffset, xorBytes, &xorEnd) ||
        __builtin_mul_overflow(layout.maskStride, static_cast<size_t>(height), &maskBytes) ||
        __builtin_add_overflow(xorEnd, maskBytes, &maskEnd)) {
        return PastTheImage;
    }
    if (xorEnd > dib.size()) return PastTheImage;
    layout.maskOffset = xorEnd;
    layout.hasMask = maskEnd <= dib.size();
    out = layout;
    return Decoded;
}

bool IsMaskTransparent(FileView dib, const IconDibLayout& layout, int32_t x,
                       int32_t rowFromBottom) {
    if (!layout.hasMask) return false;
    return Bit(dib, layout.maskOffset + static_cast<size_t>(rowFromBottom) * layout.maskStride, x);
}

bool MonochromeXorBit(FileView dib, const IconDibLayout& layout, int32_t x, int32_t rowFromBottom) {
    return Bit(dib, layout.xorOffset + static_cast<size_t>(rowFromBottom) * layout.xorStride, x);
}

uint8_t AlphaByte(FileView dib, const IconDibLayout& layout, int32_t x, int32_t rowFromBottom) {
    return dib[layout.xorOffset + static_cast<size_t>(rowFromBottom) * layout.xorStride +
               static_cast<size_t>(x) * 4 + 3];
}

}  // namespace pic2pnm::codecs::icon

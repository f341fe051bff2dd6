#include "codecs/tga/tga_header.h"

#include <cstring>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs::tga {
namespace {

constexpr size_t HeaderSize = 18;
constexpr size_t FooterSize = 26;
constexpr char FooterSignature[] = "TRUEVISION-XFILE.";  // with its NUL: 18 bytes
constexpr size_t ExtensionSize = 495;
constexpr size_t AttributeTypeOffset = 494;

bool IsColorMapEntryBits(uint8_t bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool IsPixelBitsOf(TgaKind kind, uint8_t bits) {
    switch (kind) {
        case TgaKind::ColorMapped: return bits == 8 || bits == 16;
        case TgaKind::TrueColor: return bits == 15 || bits == 16 || bits == 24 || bits == 32;
        case TgaKind::Grey: return bits == 8 || bits == 16;  // 16: grey, then alpha
    }
    return false;
}

// The attribute type of the extension area, when a version-2 footer points at a whole one;
// -1 otherwise.
int AttributeType(FileView file) {
    if (file.size() < HeaderSize + FooterSize) return -1;
    const uint8_t* footer = file.data() + file.size() - FooterSize;
    if (std::memcmp(footer + 8, FooterSignature, sizeof FooterSignature) != 0) return -1;
    const uint32_t extension = ReadLe32(footer);
    if (extension < HeaderSize || extension > file.size() - FooterSize ||
        file.size() - FooterSize - extension < ExtensionSize)
        return -1;
    if (ReadLe16(file.data() + extension) < ExtensionSize) return -1;
    return file[extension + AttributeTypeOffset];
}

// Whether the pixels carry alpha: attribute bits in the descriptor where the pixel (or the
// colour-map entry) has room for them, unless the extension area says the bits mean nothing.
TgaAlpha AlphaOf(FileView file, const TgaLayout& layout, uint8_t attributeBits) {
    const uint8_t bits = layout.kind == TgaKind::ColorMapped ? layout.entryBits : layout.pixelBits;
    const bool room = bits == 32 || bits == 16;
    if (!room || attributeBits == 0) return TgaAlpha::None;
    switch (AttributeType(file)) {
        case -1:
        case 3: return TgaAlpha::Straight;
        case 4: return TgaAlpha::Premultiplied;
        default: return TgaAlpha::None;  // none, undefined (ignore or keep), or unknown
    }
}

// Walks the run-length packets until they cover the picture. False when a packet reaches
// past the last pixel or the file ends first.
bool PacketsCompletePicture(FileView file, const TgaLayout& layout) {
    const size_t pixelBytes = BytesPerPixel(layout.pixelBits);
    uint64_t remaining = uint64_t{layout.width} * layout.height;
    size_t pos = layout.pixelStart;
    while (remaining > 0) {
        if (pos >= file.size()) return false;
        const uint8_t packet = file[pos++];
        const uint64_t count = (packet & 0x7F) + 1u;
        if (count > remaining) return false;
        const uint64_t bytes = packet & 0x80 ? pixelBytes : count * pixelBytes;
        if (file.size() - pos < bytes) return false;
        pos += static_cast<size_t>(bytes);
        remaining -= count;
    }
    return true;
}

}  // namespace

size_t BytesPerPixel(uint8_t bits) {
    return (bits + 7u) / 8u;
}

CodecResult ReadTgaLayout(FileView file, TgaLayout& out) {
    if (file.size() < HeaderSize) return Refuse("tga: too short for a TGA header");
    const uint8_t* h = file.data();
    const uint8_t idLength = h[0];
    const uint8_t colorMapType = h[1];
    const uint8_t imageType = h[2];
    TgaLayout layout;
    layout.runLength = imageType >= 9;
    switch (imageType & 7) {
        case 1: layout.kind = TgaKind::ColorMapped; break;
        case 2: layout.kind = TgaKind::TrueColor; break;
        case 3: layout.kind = TgaKind::Grey; break;
        default: return Refuse("tga: the image type is none TGA knows");
    }
    if (imageType > 11 || (imageType > 3 && imageType < 9))
        return Refuse("tga: the image type is none TGA knows");
    const uint16_t firstEntry = ReadLe16(h + 3);
    const uint16_t entryCount = ReadLe16(h + 5);
    const uint8_t entryBits = h[7];
    layout.width = ReadLe16(h + 12);
    layout.height = ReadLe16(h + 14);
    layout.pixelBits = h[16];
    const uint8_t descriptor = h[17];

    // A colour-mapped picture needs a map; another may carry one, which it does not use.
    constexpr CodecResult MapDoesNotFit =
        Refuse("tga: the colour map fields do not fit the image type");
    if (colorMapType > 1) return MapDoesNotFit;
    if (layout.kind == TgaKind::ColorMapped && colorMapType != 1) return MapDoesNotFit;
    if (colorMapType == 1) {
        if (!IsColorMapEntryBits(entryBits) || entryCount == 0) return MapDoesNotFit;
    } else if (firstEntry != 0 || entryCount != 0 ||
               (entryBits != 0 && !IsColorMapEntryBits(entryBits))) {
        return MapDoesNotFit;
    }
    if (layout.width == 0 || layout.height == 0 || !IsPixelBitsOf(layout.kind, layout.pixelBits))
        return Refuse("tga: a side is 0 or the pixel size does not fit the image type");
    constexpr CodecResult BadDescriptor =
        Refuse("tga: the descriptor asks for interleaving or over 8 attribute bits");
    if ((descriptor & 0xC0) != 0) return BadDescriptor;  // interleaving: long gone
    const uint8_t attributeBits = descriptor & 0x0F;
    if (attributeBits > 8) return BadDescriptor;
    layout.rightToLeft = (descriptor & 0x10) != 0;
    layout.topToBottom = (descriptor & 0x20) != 0;

    const size_t mapBytes = colorMapType == 1 ? size_t{entryCount} * BytesPerPixel(entryBits) : 0;
    layout.colorMapStart = HeaderSize + idLength;
    layout.pixelStart = layout.colorMapStart + mapBytes;
    if (layout.pixelStart > file.size())
        return Refuse("tga: the colour map runs past the end of the file");
    if (layout.kind == TgaKind::ColorMapped) {
        layout.firstEntry = firstEntry;
        layout.entryCount = entryCount;
        layout.entryBits = entryBits;
    }
    if (layout.runLength) {
        if (!PacketsCompletePicture(file, layout))
            return Refuse("tga: the run-length packets do not complete the picture");
    } else {
        const uint64_t pixelBytes =
            uint64_t{layout.width} * layout.height * BytesPerPixel(layout.pixelBits);
        if (file.size() - layout.pixelStart < pixelBytes)
            return Refuse("tga: the pixels run past the end of the file");
    }
    layout.alpha = AlphaOf(file, layout, attributeBits);
    out = layout;
    return Decoded;
}

}  // namespace pic2pnm::codecs::tga

// Headers of the two metafile kinds the native loader accepts. Only the headers are read:
// the picture object needs the metafile's size, and nothing here plays the records.
#include <algorithm>
#include <array>
#include <cstddef>

#include "platform/codecs/codecs.h"

namespace pic2pnm::codecs {
namespace {

uint16_t ReadU16(FileView bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

uint32_t ReadU32(FileView bytes, size_t at) {
    return uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
           (uint32_t{bytes[at + 3]} << 24);
}

int32_t ReadI32(FileView bytes, size_t at) {
    return static_cast<int32_t>(ReadU32(bytes, at));
}

// --- Placeable WMF: a 22-byte placement header, then the Windows metafile's own header ---

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableHeaderSize = 22;
constexpr size_t kMetaHeaderSize = 18;
constexpr uint16_t kMetaHeaderWords = kMetaHeaderSize / 2;

// The metafile's own header must be one that plays: in memory (1) or on disk (2), nine words
// long, version 1 or 3; and the size it gives, in 16-bit words, must cover the header. That
// size is not held against the file's length: writers often count the placement header in
// it too, picture loaders accept such files, and only the header is read here.
bool IsValidMetaHeader(FileView meta) {
    const uint16_t type = ReadU16(meta, 0);
    const uint16_t headerWords = ReadU16(meta, 2);
    const uint16_t version = ReadU16(meta, 4);
    const uint64_t sizeInBytes = uint64_t{ReadU32(meta, 6)} * 2;
    return (type == 1 || type == 2) && headerWords == kMetaHeaderWords &&
           (version == 0x100 || version == 0x300) && sizeInBytes >= kMetaHeaderSize;
}

// --- EMF: the first record is the header record ---

constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr size_t kSignatureAt = 40;
constexpr uint32_t kSmallestEmfHeader = 88;  // the header before the pixel-format fields

ENHMETAHEADER ReadEnhMetaHeader(FileView header) {
    // Fields past the end of a shorter header read as zero.
    std::array<uint8_t, sizeof(ENHMETAHEADER)> bytes{};
    std::copy_n(header.begin(), std::min(header.size(), bytes.size()), bytes.begin());
    const FileView b(bytes);
    ENHMETAHEADER out{};
    out.iType = ReadU32(b, 0);
    out.nSize = ReadU32(b, 4);
    out.rclBounds = RECTL{ReadI32(b, 8), ReadI32(b, 12), ReadI32(b, 16), ReadI32(b, 20)};
    out.rclFrame = RECTL{ReadI32(b, 24), ReadI32(b, 28), ReadI32(b, 32), ReadI32(b, 36)};
    out.dSignature = ReadU32(b, 40);
    out.nVersion = ReadU32(b, 44);
    out.nBytes = ReadU32(b, 48);
    out.nRecords = ReadU32(b, 52);
    out.nHandles = ReadU16(b, 56);
    out.sReserved = ReadU16(b, 58);
    out.nDescription = ReadU32(b, 60);
    out.offDescription = ReadU32(b, 64);
    out.nPalEntries = ReadU32(b, 68);
    out.szlDevice = SIZEL{ReadI32(b, 72), ReadI32(b, 76)};
    out.szlMillimeters = SIZEL{ReadI32(b, 80), ReadI32(b, 84)};
    out.cbPixelFormat = ReadU32(b, 88);
    out.offPixelFormat = ReadU32(b, 92);
    out.bOpenGL = ReadU32(b, 96);
    return out;
}

}  // namespace

bool LooksLikePlaceableWmf(FileView file) {
    return file.size() >= 4 && ReadU32(file, 0) == kPlaceableKey;
}

// The checksum (the XOR of the ten words before it) is not checked: picture loaders accept
// placeable metafiles whose writers got it wrong, and the bounding box is used either way.
// The handle slot (hmf) is meaningless in a file and not checked either.
CodecStatus ParsePlaceableWmf(FileView file, PlaceableWmfHeader& out) {
    if (!LooksLikePlaceableWmf(file)) return CodecStatus::NotMyFormat;
    if (file.size() < kPlaceableHeaderSize + kMetaHeaderSize) return CodecStatus::Corrupt;
    PlaceableWmfHeader header;
    header.left = static_cast<int16_t>(ReadU16(file, 6));
    header.top = static_cast<int16_t>(ReadU16(file, 8));
    header.right = static_cast<int16_t>(ReadU16(file, 10));
    header.bottom = static_cast<int16_t>(ReadU16(file, 12));
    header.unitsPerInch = ReadU16(file, 14);
    // The picture's size is the box divided by units per inch.
    if (header.unitsPerInch == 0) return CodecStatus::Corrupt;
    if (!IsValidMetaHeader(file.subspan(kPlaceableHeaderSize))) return CodecStatus::Corrupt;
    out = header;
    return CodecStatus::Ok;
}

bool LooksLikeEmf(FileView file) {
    return file.size() >= kSignatureAt + 4 && ReadU32(file, 0) == kEmrHeader &&
           ReadU32(file, kSignatureAt) == kEmfSignature;
}

// The header record's size must be one a header can have (at least the 88 bytes that every
// version writes, in whole 32-bit units) and the header must fit in the file; the metafile's
// size must cover the header and fit in the file as well, else it was cut short. Bytes after
// the stated size are ignored.
CodecStatus ParseEmfHeader(FileView file, ENHMETAHEADER& out) {
    if (!LooksLikeEmf(file)) return CodecStatus::NotMyFormat;
    const uint32_t headerSize = ReadU32(file, 4);
    if (headerSize < kSmallestEmfHeader || headerSize % 4 != 0 || headerSize > file.size())
        return CodecStatus::Corrupt;
    const ENHMETAHEADER header = ReadEnhMetaHeader(file.first(headerSize));
    if (header.nBytes < headerSize || header.nBytes > file.size()) return CodecStatus::Corrupt;
    out = header;
    return CodecStatus::Ok;
}

}  // namespace pic2pnm::codecs

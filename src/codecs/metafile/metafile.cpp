// Headers of the two metafile kinds the native loader accepts. Only the headers are read:
// the picture object needs the metafile's size, and nothing here plays the records.
#include <algorithm>
#include <array>
#include <cstddef>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/metafile/metafile.h"

namespace pic2pnm::codecs {
namespace {

// --- Placeable WMF: a 22-byte placement header, then the Windows metafile's own header ---

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr size_t PlaceableHeaderSize = 22;
constexpr size_t MetaHeaderSize = 18;
constexpr uint16_t MetaHeaderWords = MetaHeaderSize / 2;

// The metafile's own header must be one that plays: in memory (1) or on disk (2), nine words
// long, version 1 or 3; and the size it gives, in 16-bit words, must cover the header. That
// size is not held against the file's length: writers often count the placement header in
// it too, picture loaders accept such files, and only the header is read here.
bool IsValidMetaHeader(FileView meta) {
    const uint16_t type = ReadLe16(meta, 0);
    const uint16_t headerWords = ReadLe16(meta, 2);
    const uint16_t version = ReadLe16(meta, 4);
    const uint64_t sizeInBytes = uint64_t{ReadLe32(meta, 6)} * 2;
    return (type == 1 || type == 2) && headerWords == MetaHeaderWords &&
           (version == 0x100 || version == 0x300) && sizeInBytes >= MetaHeaderSize;
}

// --- EMF: the first record is the header record ---

constexpr uint32_t EmrHeader = 1;
constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
constexpr size_t SignatureAt = 40;
constexpr uint32_t SmallestEmfHeader = 88;  // the header before the pixel-format fields

EmfHeader ReadEnhMetaHeader(FileView header) {
    // Fields past the end of a shorter header read as zero.
    std::array<uint8_t, EmfHeaderBytes> bytes{};
    std::copy_n(header.begin(), std::min(header.size(), bytes.size()), bytes.begin());
    const FileView b(bytes);
    EmfHeader out{};
    out.iType = ReadLe32(b, 0);
    out.nSize = ReadLe32(b, 4);
    out.rclBounds = EmfRect{ReadLeSigned32(b, 8), ReadLeSigned32(b, 12), ReadLeSigned32(b, 16),
                            ReadLeSigned32(b, 20)};
    out.rclFrame = EmfRect{ReadLeSigned32(b, 24), ReadLeSigned32(b, 28), ReadLeSigned32(b, 32),
                           ReadLeSigned32(b, 36)};
    out.dSignature = ReadLe32(b, 40);
    out.nVersion = ReadLe32(b, 44);
    out.nBytes = ReadLe32(b, 48);
    out.nRecords = ReadLe32(b, 52);
    out.nHandles = ReadLe16(b, 56);
    out.sReserved = ReadLe16(b, 58);
    out.nDescription = ReadLe32(b, 60);
    out.offDescription = ReadLe32(b, 64);
    out.nPalEntries = ReadLe32(b, 68);
    out.szlDevice = EmfSize{ReadLeSigned32(b, 72), ReadLeSigned32(b, 76)};
    out.szlMillimeters = EmfSize{ReadLeSigned32(b, 80), ReadLeSigned32(b, 84)};
    out.cbPixelFormat = ReadLe32(b, 88);
    out.offPixelFormat = ReadLe32(b, 92);
    out.bOpenGL = ReadLe32(b, 96);
    return out;
}

}  // namespace

bool LooksLikePlaceableWmf(FileView file) {
    return file.size() >= 4 && ReadLe32(file, 0) == PlaceableKey;
}

// The checksum (the XOR of the ten words before it) is not checked: picture loaders accept
// placeable metafiles whose writers got it wrong, and the bounding box is used either way.
// The handle slot (hmf) is meaningless in a file and not checked either.
CodecResult ParsePlaceableWmf(FileView file, PlaceableWmfHeader& out) {
    if (!LooksLikePlaceableWmf(file)) return Refuse("wmf: no placeable metafile key");
    if (file.size() < PlaceableHeaderSize + MetaHeaderSize)
        return Refuse("wmf: the headers are cut short");
    PlaceableWmfHeader header;
    header.left = static_cast<int16_t>(ReadLe16(file, 6));
    header.top = static_cast<int16_t>(ReadLe16(file, 8));
    header.right = static_cast<int16_t>(ReadLe16(file, 10));
    header.bottom = static_cast<int16_t>(ReadLe16(file, 12));
    header.unitsPerInch = ReadLe16(file, 14);
    // The picture's size is the box divided by units per inch.
    if (header.unitsPerInch == 0) return Refuse("wmf: the placement gives no units to the inch");
    if (!IsValidMetaHeader(file.subspan(PlaceableHeaderSize)))
        return Refuse("wmf: the metafile's own header is none that plays");
    out = header;
    return Decoded;
}

bool LooksLikeEmf(FileView file) {
    return file.size() >= SignatureAt + 4 && ReadLe32(file, 0) == EmrHeader &&
           ReadLe32(file, SignatureAt) == EmfSignature;
}

// The header record's size must be one a header can have (at least the 88 bytes that every
// version writes, in whole 32-bit units) and the header must fit in the file; the metafile's
// size must cover the header and fit in the file as well, else it was cut short. Bytes after
// the stated size are ignored.
CodecResult ParseEmfHeader(FileView file, EmfHeader& out) {
    if (!LooksLikeEmf(file)) return Refuse("emf: no enhanced metafile header record");
    const uint32_t headerSize = ReadLe32(file, 4);
    if (headerSize < SmallestEmfHeader || headerSize % 4 != 0 || headerSize > file.size())
        return Refuse("emf: a header record of a size none has, or cut short");
    const EmfHeader header = ReadEnhMetaHeader(file.first(headerSize));
    if (header.nBytes < headerSize || header.nBytes > file.size())
        return Refuse("emf: the metafile's size leaves out its header or passes the file");
    out = header;
    return Decoded;
}

}  // namespace pic2pnm::codecs

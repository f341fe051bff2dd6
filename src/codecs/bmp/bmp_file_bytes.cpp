#include "codecs/bmp/bmp_file_bytes.h"

#include "codecs/bmp/bmp.h"
#include "codecs/bmp/bmp_dib_header.h"
#include "codecs/bmp/bmp_rows.h"
#include "codecs/common/byte_order.h"

namespace pic2pnm::codecs {
namespace {

constexpr size_t FileHeaderSize = 14;
constexpr size_t PixelOffsetAt = 10;
constexpr uint64_t RunLengthBytesPerPixel = 4;
constexpr uint64_t RunLengthBytesPerRow = 4;

}  // namespace

uint64_t BmpFileBytesNeeded(FileView head) {
    if (!LooksLikeBmp(head) || head.size() < FileHeaderSize) return 0;
    bmp::DibHeader header;
    if (!bmp::ParseDibHeader(head.subspan(FileHeaderSize), header).IsOk()) return 0;
    if (!IsPictureSizeSupported(header.width, header.height)) return 0;
    const uint64_t pixelOffset = ReadLe32(head.data() + PixelOffsetAt);
    const bool runLength = header.compression == bmp::DibCompression::Rle8 ||
                           header.compression == bmp::DibCompression::Rle4;
    uint64_t pixelBytes = 0;
    if (runLength) {
        // Sides within IsPictureSizeSupported: far from overflow.
        const uint64_t pixels = uint64_t(header.width) * uint64_t(header.height);
        pixelBytes =
            pixels * RunLengthBytesPerPixel + uint64_t(header.height) * RunLengthBytesPerRow;
    } else if (!bmp::UncompressedPixelBytes(header, header.height, pixelBytes)) {
        return 0;
    }
    return pixelOffset + pixelBytes;
}

}  // namespace pic2pnm::codecs

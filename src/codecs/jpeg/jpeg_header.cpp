#include "codecs/jpeg/jpeg_header.h"

#include <algorithm>
#include <cstring>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/jpeg/jpeg_exif.h"

namespace pic2pnm::codecs {
namespace {

constexpr uint8_t MarkerSoi = 0xD8;
constexpr uint8_t MarkerEoi = 0xD9;
constexpr uint8_t MarkerSos = 0xDA;
constexpr uint8_t MarkerApp0 = 0xE0;
constexpr uint8_t MarkerApp1 = 0xE1;
constexpr uint8_t MarkerTem = 0x01;

bool IsRestart(uint8_t marker) {
    return marker >= 0xD0 && marker <= 0xD7;
}

// SOF0-SOF15 less DHT (C4), JPG (C8) and DAC (CC).
bool IsFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsProgressive(uint8_t marker) {
    return marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
}

// The next marker at or after `pos`: skips entropy-coded data, stuffed zero bytes, fill bytes
// and stray bytes between segments (libjpeg-turbo passes over those too, with a warning).
// Returns false at the end of the file; otherwise `pos` is just past the marker code.
bool NextMarker(FileView file, size_t& pos, uint8_t& marker) {
    while (pos < file.size()) {
        const void* found = std::memchr(file.data() + pos, 0xFF, file.size() - pos);
        if (found == nullptr) return false;
        pos = static_cast<size_t>(static_cast<const uint8_t*>(found) - file.data()) + 1;
        while (pos < file.size() && file[pos] == 0xFF) ++pos;
        if (pos >= file.size()) return false;
        if (file[pos] != 0x00) {
            marker = file[pos++];
            return true;
        }
    }
    return false;
}

// JFIF: "JFIF\0", version (2 bytes), units, X density, Y density (2 bytes each).
Resolution ReadJfifResolution(FileView segment) {
    if (segment.size() < 12 || std::memcmp(segment.data(), "JFIF", 5) != 0) return {};
    uint8_t units = segment[7];
    float x = ReadBe16(segment.data() + 8);
    float y = ReadBe16(segment.data() + 10);
    if (units == 1) return {x, y};
    if (units == 2) return {x * 2.54f, y * 2.54f};
    return {};
}

Resolution ReadExifSegmentResolution(FileView segment) {
    constexpr size_t prefix = 6;  // "Exif\0\0"
    if (segment.size() < prefix || std::memcmp(segment.data(), "Exif\0\0", prefix) != 0) return {};
    return ReadExifResolution(segment.subspan(prefix));
}

}  // namespace

CodecResult ReadJpegHeader(FileView file, JpegHeader& out) {
    out = JpegHeader{};
    bool sawFrame = false;
    Resolution jfif, exif;
    size_t pos = 2;  // past SOI
    uint8_t marker = 0;
    while (NextMarker(file, pos, marker)) {
        if (IsRestart(marker) || marker == MarkerTem) continue;
        if (marker == MarkerEoi || marker == MarkerSoi) break;
        if (file.size() - pos < 2) break;
        size_t length = ReadBe16(file.data() + pos);
        if (length < 2 || length > file.size() - pos) break;  // cut short: libjpeg-turbo decides
        FileView segment = file.subspan(pos + 2, length - 2);
        pos += length;

        if (IsFrameHeader(marker) && !sawFrame) {
            // Precision, height, width (2 bytes each but precision), component count.
            if (segment.size() < 6) return Refuse("jpeg: the frame header is cut short");
            sawFrame = true;
            out.height = ReadBe16(segment.data() + 1);
            out.width = ReadBe16(segment.data() + 3);
            out.components = segment[5];
            out.progressive = IsProgressive(marker);
            out.multiScan = out.progressive;
            for (int c = 0; c < out.components && c < 4; ++c) {
                const size_t at = 6 + 3 * static_cast<size_t>(c) + 1;
                if (at >= segment.size()) break;
                out.samplingX[c] = segment[at] >> 4;
                out.samplingY[c] = segment[at] & 0x0F;
            }
        } else if (marker == MarkerApp0 && jfif.dpiX == 0) {
            jfif = ReadJfifResolution(segment);
        } else if (marker == MarkerApp1 && exif.dpiX == 0) {
            exif = ReadExifSegmentResolution(segment);
        } else if (marker == MarkerSos) {
            if (!sawFrame) return Refuse("jpeg: a scan comes before the frame header");
            // Any frame type can make every one of many small scans cost a pass over the whole
            // picture, so all are counted.
            if (++out.scanCount == 1 && !segment.empty() && segment[0] < out.components)
                out.multiScan = true;
        }
    }
    if (!sawFrame) return Refuse("jpeg: the file ends before a frame header");
    if (out.scanCount == 0) return Refuse("jpeg: the file ends before a scan");
    Resolution chosen = jfif.dpiX > 0 && jfif.dpiY > 0 ? jfif : exif;
    out.dpiX = chosen.dpiX;
    out.dpiY = chosen.dpiY;
    return Decoded;
}

uint64_t JpegCoefficientBytes(const JpegHeader& header) {
    if (!header.multiScan || header.components < 1 || header.components > 4) return 0;
    uint32_t maxX = 1, maxY = 1;
    for (int c = 0; c < header.components; ++c) {
        maxX = std::max<uint32_t>(maxX, header.samplingX[c]);
        maxY = std::max<uint32_t>(maxY, header.samplingY[c]);
    }
    // Picture sides below 2^16 and factors below 16 keep every product far from overflow.
    uint64_t bytes = 0;
    for (int c = 0; c < header.components; ++c) {
        const uint64_t x = std::max<uint32_t>(header.samplingX[c], 1);
        const uint64_t y = std::max<uint32_t>(header.samplingY[c], 1);
        const uint64_t columns = (uint64_t(header.width) * x + maxX - 1) / maxX;
        const uint64_t rows = (uint64_t(header.height) * y + maxY - 1) / maxY;
        const uint64_t blocksAcross = ((columns + 7) / 8 + x - 1) / x * x;
        const uint64_t blocksDown = ((rows + 7) / 8 + y - 1) / y * y;
        bytes += blocksAcross * blocksDown * 128;
    }
    return bytes;
}

}  // namespace pic2pnm::codecs

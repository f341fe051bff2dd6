#include "helpers/png_files.h"

#include <algorithm>
#include <cstddef>

#include "helpers/codec_checks.h"

namespace pic2pnm::testing {

const PngBytes PngFileSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

PngBytes Chunk(const char* type, const PngBytes& body) {
    PngBytes out;
    AppendBe32(out, static_cast<uint32_t>(body.size()));
    PngBytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    AppendBe32(out, Crc32(typed.data(), typed.size()));
    return out;
}

PngBytes Zlib(const PngBytes& raw) {
    PngBytes out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t size = std::min<size_t>(raw.size() - at, 65535);
        const bool last = at + size == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<uint8_t>(size));
        out.push_back(static_cast<uint8_t>(size >> 8));
        out.push_back(static_cast<uint8_t>(~size));
        out.push_back(static_cast<uint8_t>(~size >> 8));
        out.insert(out.end(), raw.begin() + static_cast<ptrdiff_t>(at),
                   raw.begin() + static_cast<ptrdiff_t>(at + size));
        at += size;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    AppendBe32(out, b << 16 | a);
    return out;
}

PngBytes Ihdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, bool interlaced) {
    PngBytes body;
    AppendBe32(body, width);
    AppendBe32(body, height);
    body.insert(body.end(), {depth, colorType, 0, 0, static_cast<uint8_t>(interlaced ? 1 : 0)});
    return Chunk("IHDR", body);
}

PngBytes Png(const std::vector<PngBytes>& chunks) {
    PngBytes out = PngFileSignature;
    for (const PngBytes& chunk : chunks) out.insert(out.end(), chunk.begin(), chunk.end());
    const PngBytes end = Chunk("IEND", {});
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

}  // namespace pic2pnm::testing

// Small PNG files built byte by byte, for the decoder's tests: chunks with their CRCs, zlib
// streams of stored blocks, and whole files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pic2pnm::testing {

using PngBytes = std::vector<uint8_t>;

extern const PngBytes PngFileSignature;

uint32_t Crc32(const uint8_t* data, size_t size);
// One chunk: length, type, body and CRC.
PngBytes Chunk(const char* type, const PngBytes& body);
// A zlib stream of stored (uncompressed) blocks holding `raw`.
PngBytes Zlib(const PngBytes& raw);
PngBytes Ihdr(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, bool interlaced);
// The signature, the chunks and IEND.
PngBytes Png(const std::vector<PngBytes>& chunks);

}  // namespace pic2pnm::testing

// Reading little-endian and big-endian fields from file bytes, for every decoder. Callers
// check the bounds first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

inline uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// A little-endian field of 1 to 4 bytes.
inline uint32_t ReadLe(const uint8_t* p, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= uint32_t{p[i]} << (8 * i);
    return value;
}

inline uint16_t ReadBe16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t ReadBe32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// The same at an offset into the file.
inline uint16_t ReadLe16(FileView bytes, size_t at) {
    return ReadLe16(bytes.data() + at);
}

inline uint32_t ReadLe32(FileView bytes, size_t at) {
    return ReadLe32(bytes.data() + at);
}

inline int32_t ReadLeSigned32(FileView bytes, size_t at) {
    return static_cast<int32_t>(ReadLe32(bytes, at));
}

inline uint32_t ReadBe32(FileView bytes, size_t at) {
    return ReadBe32(bytes.data() + at);
}

}  // namespace pic2pnm::codecs

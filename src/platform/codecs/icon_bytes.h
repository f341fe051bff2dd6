// Reading the little-endian fields of icon directories and DIB headers (and the big-endian
// size fields of a PNG image inside an icon). Callers check the bounds first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/codecs/decoded_picture.h"

namespace pic2pnm::codecs::icon {

inline uint16_t ReadU16(FileView bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline uint32_t ReadU32(FileView bytes, size_t at) {
    return uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
           (uint32_t{bytes[at + 3]} << 24);
}

inline int32_t ReadI32(FileView bytes, size_t at) {
    return static_cast<int32_t>(ReadU32(bytes, at));
}

inline uint32_t ReadU32BigEndian(FileView bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
           (uint32_t{bytes[at + 2]} << 8) | uint32_t{bytes[at + 3]};
}

}  // namespace pic2pnm::codecs::icon

// What the native loader's own loaders take from the codec layer besides pictures: icons and
// metafile headers, as the decode child hands them back. The decoders themselves are declared
// in their folders (src/codecs/<name>/<name>.h): each LooksLike... function checks only the
// signature; each Decode... function checks the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// An icon or cursor as the native loader keeps it.
struct DecodedIcon {
    bool isIcon = true;  // false for a cursor
    uint16_t hotspotX = 0;
    uint16_t hotspotY = 0;
    int32_t width = 0;
    int32_t height = 0;      // of one image, not of the AND+XOR pair
    uint16_t imageBits = 0;  // bits a pixel of the chosen image as stored: 1, 2, 4, 8, ... 32
    std::shared_ptr<PixelStore> color;  // null for a monochrome (1 bit per pixel) icon
    // The AND mask, 0 (opaque) or 0xFFFFFF (transparent) per pixel; for a monochrome icon
    // it is twice as high: the AND mask on top of the XOR image, as GDI keeps it.
    std::shared_ptr<PixelStore> mask;
};

// A placeable Windows metafile's header.
struct PlaceableWmfHeader {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;
    uint16_t unitsPerInch = 0;
};

// An enhanced metafile's header record up to its OpenGL flag (100 bytes), fields named as the
// file format names them; fields past the end of a shorter header read as 0. The native
// loader copies it into the GDI stand-in's header structure.
struct EmfRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};
struct EmfSize {
    int32_t cx = 0;
    int32_t cy = 0;
};
struct EmfHeader {
    uint32_t iType = 0;
    uint32_t nSize = 0;
    EmfRect rclBounds;  // inclusive bounds in device units
    EmfRect rclFrame;   // inclusive frame in 0.01 mm
    uint32_t dSignature = 0;
    uint32_t nVersion = 0;
    uint32_t nBytes = 0;
    uint32_t nRecords = 0;
    uint16_t nHandles = 0;
    uint16_t sReserved = 0;
    uint32_t nDescription = 0;
    uint32_t offDescription = 0;
    uint32_t nPalEntries = 0;
    EmfSize szlDevice;
    EmfSize szlMillimeters;
    uint32_t cbPixelFormat = 0;
    uint32_t offPixelFormat = 0;
    uint32_t bOpenGL = 0;
};
inline constexpr size_t EmfHeaderBytes = 100;

}  // namespace pic2pnm::codecs

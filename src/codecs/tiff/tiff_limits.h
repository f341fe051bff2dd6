// What a TIFF directory may ask for before any of its pixels are decoded. The strip or tile
// buffers libtiff allocates, and the work of decoding them, follow from the directory's own
// claims (tile size, samples a pixel, byte counts), which a few hostile bytes can make a
// thousand times the picture. These limits keep them in proportion to the picture.
#pragma once

#include <cstdint>

#include "codecs/tiff/tiff_library.h"

namespace pic2pnm::codecs {

struct TiffLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t photometric = 0;
    uint16_t samplesPerPixel = 1;
    uint16_t bitsPerSample = 1;
    bool tiled = false;
    uint32_t tileWidth = 0;         // tiled only
    uint32_t tileLength = 0;        // tiled only
    uint32_t rowsPerStrip = 0;      // strips only; as stored, may exceed the height
    uint64_t largestByteCount = 0;  // of any strip or tile
};

// Reads the layout of the current directory; false when a tag libtiff needs is missing.
bool ReadTiffLayout(const TiffLibrary& libtiff, TIFF* tiff, TiffLayout& out);

// False for a directory out of proportion to its picture: a tile whose decoded samples are
// more than the picture's own and the allowance, tiles that together hold more than four times
// the picture rounded up to 16-pixel steps and a fixed amount, more samples a pixel than the
// photometric can use (its colour samples, an alpha and one more), or a strip or tile whose
// stored bytes are more than its decoded samples could ever compress to.
bool IsTiffLayoutInProportion(const TiffLayout& layout);

// The largest block libtiff may allocate at once while decoding this picture: the picture's
// own decoded samples (no strip or tile buffer needs more) and a fixed allowance for small
// tables.
uint64_t TiffAllocationCapFor(const TiffLayout& layout);

// The same cap before the directory has been read: tag arrays come from the file, and none
// grows more than fourfold in memory (16-bit offsets held as 64-bit ones).
uint64_t TiffAllocationCapForFile(uint64_t fileBytes);

}  // namespace pic2pnm::codecs

// What a TIFF directory may ask for before any of its pixels are decoded, measured against the
// proportions DecodeLimits gives (TiffProportions) and the picture's budget.
#pragma once

#include <cstdint>

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"
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

// Refuses a directory out of proportion to its picture: a tile whose decoded samples are more
// than the picture's own and the budget's allowance, tiles that together hold more than the
// proportions allow of the picture rounded up to whole tile steps, more samples a pixel than
// the photometric can use (its colour samples and the extra ones allowed), or a strip or tile
// whose stored bytes are more than its decoded samples could ever compress to.
CodecResult CheckTiffProportions(const TiffLayout& layout, const DecodeLimits& limits);

// The largest block libtiff may allocate at once while decoding this picture: the picture's
// own decoded samples (no strip or tile buffer needs more) and the budget's allowance for
// small tables.
uint64_t TiffAllocationCapFor(const TiffLayout& layout, const DecodeLimits& limits);

// The same cap before the directory has been read: tag arrays come from the file, and none
// grows more than fourfold in memory (16-bit offsets held as 64-bit ones).
uint64_t TiffAllocationCapForFile(uint64_t fileBytes, const DecodeLimits& limits);

}  // namespace pic2pnm::codecs

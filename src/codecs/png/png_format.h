// What a PNG's header says about the picture, in the terms DecodedPicture reports.
#pragma once

#include <cstdint>

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// colorType and bitDepth as in IHDR; hasTrns when a tRNS chunk is present (its alpha, or its
// one transparent colour, makes the picture one with alpha); paletteEntries of PLTE.
SourceFormat DescribePngSource(uint8_t colorType, uint8_t bitDepth, bool hasTrns,
                               uint32_t paletteEntries);

struct PngDpi {
    float x = 0;
    float y = 0;
};

// pHYs gives pixels per metre when its unit is 1; any other unit only states the pixel shape.
PngDpi DpiFromPhys(uint32_t pixelsPerUnitX, uint32_t pixelsPerUnitY, uint8_t unit);

// True when the rows a decoder holds while it works through a picture of this size fit the
// memory the picture may cost beside its pixels (DecodeLimits::BudgetBesidePixels): two rows
// as stored in the file, this one and the one above, and for 16 bits a sample one more row of
// 8 bytes a pixel. Only very wide pictures of very few rows can fail.
bool PngRowBuffersFit(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colorType,
                      const DecodeLimits& limits);

}  // namespace pic2pnm::codecs

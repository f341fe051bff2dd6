// The common PNG layouts decoded without libspng's row path: 8 bits a sample, not interlaced,
// grey, grey and alpha, RGB, RGBA or palette. zlib inflates the IDAT stream a row at a time,
// our own unfiltering undoes the row filters, and each row goes straight into the pixel
// store as BGRA. libspng's generic unfiltering is most of its time on photographs.
//
// The result is exactly what libspng gives for SPNG_FMT_RGBA8 with tRNS applied. Anything
// out of the ordinary (a bad checksum, a short or overlong stream, an unknown filter, a
// palette index past the palette) makes it give up, and the caller decodes the file with
// libspng, which then decides what the file is worth.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/common/decoded_picture.h"
#include "codecs/common/pixel_store.h"

namespace pic2pnm::codecs {

struct PngLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t bitDepth = 0;
    uint8_t colorType = 0;
    uint8_t interlace = 0;
    // tRNS: the transparent grey or RGB value, or the palette's alpha values.
    bool hasTrns = false;
    uint16_t trnsGrey = 0;
    uint16_t trnsRed = 0;
    uint16_t trnsGreen = 0;
    uint16_t trnsBlue = 0;
    uint32_t paletteEntries = 0;
    uint32_t palette[256] = {};  // BGRA, alpha from tRNS or 255
};

// True when DecodePngRowsDirect takes pictures of this layout.
bool IsDirectPngLayout(const PngLayout& layout);

// Decodes the IDAT stream of `file` into `store` (layout.width x layout.height). False when it
// gives up; the store's contents are then undefined.
bool DecodePngRowsDirect(FileView file, const PngLayout& layout, PixelStore& store);

// The row steps DecodePngRowsDirect takes, for the other ways of inflating the stream.
// The bytes a pixel of an 8-bit layout.
size_t PngBytesPerPixel(uint8_t colorType);
// Undoes the filter of one row of `size` bytes in place; `previous` is the row above,
// unfiltered (zeros above the first row). False for an unknown filter type.
bool UnfilterPngRow(uint8_t filter, uint8_t* row, const uint8_t* previous, size_t size,
                    size_t bytesPerPixel);
// One unfiltered row into BGRA pixels. False for a palette index past the palette.
bool ConvertPngRow(const PngLayout& layout, const uint8_t* samples, uint32_t* out);

}  // namespace pic2pnm::codecs

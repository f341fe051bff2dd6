// Uncompressed DIB pixel rows (BI_RGB and bit fields), every bit depth.
#pragma once

#include <cstdint>

#include "codecs/bmp/bmp_dib_header.h"
#include "codecs/bmp/bmp_palette.h"
#include "codecs/common/pixel_store.h"

namespace pic2pnm::codecs::bmp {

// Bytes that `rows` rows of this picture need: every row padded to 4 bytes except the last,
// whose padding some writers leave out. False when the count does not fit in 64 bits.
bool UncompressedPixelBytes(const DibHeader& header, int64_t rows, uint64_t& bytes);

// Decodes the first store.Height() rows of `pixels` into `store` (as wide as the picture),
// which must hold UncompressedPixelBytes. With keepAlphaByte a 32-bit BI_RGB picture keeps
// its fourth byte as alpha (icon images); otherwise such pixels are opaque.
CodecResult DecodeUncompressedRows(const DibHeader& header, const Palette& palette,
                                   bool keepAlphaByte, FileView pixels, PixelStore& store);

}  // namespace pic2pnm::codecs::bmp

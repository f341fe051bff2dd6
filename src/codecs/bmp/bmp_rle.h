// Run-length encoded DIB pixels (BI_RLE8 and BI_RLE4).
#pragma once

#include "codecs/bmp/bmp_dib_header.h"
#include "codecs/bmp/bmp_palette.h"
#include "codecs/common/pixel_store.h"

namespace pic2pnm::codecs::bmp {

// Decodes the run-length data `data` into `store` (bottom-up, as wide and high as the
// picture). Pixels the data never sets are opaque black; runs and deltas that leave the
// picture are clipped. Data that ends between two commands without an end-of-bitmap marker
// is accepted (the rest stays black); data that ends inside a command is Corrupt.
CodecResult DecodeRle(const DibHeader& header, const Palette& palette, FileView data,
                      PixelStore& store);

}  // namespace pic2pnm::codecs::bmp

// The raster of a Netpbm file, read into a pixel store whose size the caller has checked
// against the header and the bytes the file holds.
#pragma once

#include "codecs/common/decoded_picture.h"
#include "codecs/common/pixel_store.h"
#include "codecs/pnm/pnm_header.h"

namespace pic2pnm::codecs::pnm {

// Samples are scaled to 8 bits as v * 255 / maxval, rounded; a sample above maxval, a
// character that is no sample or a raster that ends early is Corrupt. `raster` starts at the
// first raster byte.
CodecResult ReadRawRaster(const PnmHeader& header, FileView raster, PixelStore& store);
CodecResult ReadPlainRaster(const PnmHeader& header, FileView raster, PixelStore& store);

}  // namespace pic2pnm::codecs::pnm

// How much of a BMP file its decoder reads, told from the headers alone, so that the file
// need not be read past it.
#pragma once

#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// The bytes from the start of the file to the end of the pixels the headers describe: the
// pixel offset and the rows for uncompressed pixels; for run-length pixels, whose length only
// decoding tells, four bytes a pixel and four a row, more than any encoder writes. 0 when
// `head` is no BMP or its headers cannot be read: then every byte may matter.
uint64_t BmpFileBytesNeeded(FileView head);

}  // namespace pic2pnm::codecs

// libtiff reading a TIFF file that is already in memory, through its client procedures.
#pragma once

#include <tiffio.h>

#include <cstdint>

#include "codecs/common/decoded_picture.h"
#include "codecs/tiff/tiff_library.h"

namespace pic2pnm::codecs {

// The file and the read position; must outlive the TIFF handle opened on it.
struct TiffMemoryFile {
    FileView bytes;
    uint64_t position = 0;
};

// Opens the first directory for reading, with the given options (error handlers, limits).
// Null when libtiff refuses the header or the first directory.
TIFF* OpenTiffInMemory(const TiffLibrary& libtiff, TiffMemoryFile& file, TIFFOpenOptions* options);

}  // namespace pic2pnm::codecs

// What a libheif error means to the program.
#pragma once

#include <libheif/heif.h>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// Unsupported only when libheif has no decoder for the file's codec (HEVC or AV1): the file
// may well be sound. Every other failure of a file that is HEIF is Corrupt, a limit the file
// breaks TooLarge, and memory running out OutOfMemory; each with the reason libheif's error
// code tells.
CodecResult ResultOfHeifError(const heif_error& error);

}  // namespace pic2pnm::codecs

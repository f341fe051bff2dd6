// PNG files: our own row decoder, libdeflate and zlib for the common layouts, libspng for the
// rest.
#pragma once

#include <cstdint>
#include <span>

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikePng(FileView file);

CodecResult DecodePng(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// The same, faster for the common layouts: the file's bytes are rearranged while it decodes
// and are as they were again when it returns.
CodecResult DecodePngInPlace(std::span<uint8_t> file, const DecodeLimits& limits,
                             DecodedPicture& out);

}  // namespace pic2pnm::codecs

// Which way DecodePng takes the rows of a picture. The program always takes DirectFirst;
// tests and the fuzz target also decode with Library and compare the two.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

enum class PngRowPath {
    DirectFirst,  // our own row decoder for the common layouts, libspng for the rest
    Library,      // libspng for every picture
};

CodecResult DecodePngUsing(FileView file, const DecodeLimits& limits, DecodedPicture& out,
                           PngRowPath path);

}  // namespace pic2pnm::codecs

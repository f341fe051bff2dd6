// BMP files and the DIBs inside icons, read by our own decoder.
#pragma once

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeBmp(FileView file);

// Our own BMP decoder: OS/2 1.x/2.x and Windows headers up to V5, every bit depth,
// palettes, RLE4/RLE8, bit fields, top-down and bottom-up.
CodecResult DecodeBmp(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// A DIB without its file header: info header (any of the sizes a BMP file allows), colour
// table, then the pixels right after the colour table. For an icon or cursor image
// (iconImage true) the header's height counts the XOR image and the AND mask together and
// only the XOR image, the first height / 2 rows, is decoded; its compression must be BI_RGB.
CodecResult DecodeDib(FileView dib, bool iconImage, const DecodeLimits& limits,
                      DecodedPicture& out);

}  // namespace pic2pnm::codecs

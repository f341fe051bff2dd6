#include "imaging/native/native_bitmap_depth.h"

namespace pic2pnm {
namespace {

// GDI has bitmaps of 1, 4, 8, 16, 24 and 32 bits a pixel: the nearest not below.
uint16_t BitmapDepthAtLeast(uint32_t bits) {
    for (uint16_t depth : {1, 4, 8, 16, 24})
        if (bits <= depth) return depth;
    return 32;
}

}  // namespace

uint16_t NativeBitmapDepth(const codecs::RawFormatId& format, const codecs::SourceFormat& source) {
    if (format == codecs::RawFormatIds::Gif) return 8;
    if (format == codecs::RawFormatIds::Jpeg)
        return source.channels == codecs::SourceChannels::Grey ? 8 : 24;
    return BitmapDepthAtLeast(source.pixelBits);
}

uint16_t IconBitmapDepth(uint16_t imageBits) {
    return BitmapDepthAtLeast(imageBits);
}

}  // namespace pic2pnm

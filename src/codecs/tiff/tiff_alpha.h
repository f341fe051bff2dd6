// TIFF pictures with an alpha sample, read sample by sample instead of through libtiff's RGBA
// reader: that reader drops the alpha of grey and palette pictures, takes an unspecified extra
// sample for premultiplied alpha, and rounds 16-bit samples to 8 bits before it multiplies.
#pragma once

#include <tiffio.h>

#include <cstdint>

#include "codecs/common/decoded_picture.h"
#include "codecs/tiff/tiff_library.h"

namespace pic2pnm::codecs {

// What ReadTiffWithAlpha needs to know of a directory.
struct TiffAlphaLayout {
    uint16_t photometric = 0;      // grey (either polarity), RGB or palette
    uint16_t bitsPerSample = 0;    // 8 or 16
    uint16_t samplesPerPixel = 0;  // the colour samples, then the extra samples
    uint16_t colourSamples = 0;    // 1 or 3; the sample after them is the alpha
    bool premultiplied = false;    // associated alpha; unassociated and unspecified are not
    bool separatePlanes = false;
};

// True when the directory is grey, RGB or palette with 8 or 16 unsigned bits a sample and
// at least one extra sample, the first of which is read as alpha (an unspecified one too, as
// other decoders do); then `layout` describes it.
bool DescribeTiffAlpha(const TiffLibrary& libtiff, TIFF* tiff, TiffAlphaLayout& layout);

// Reads the picture described by `layout` into `out`, rows as stored with the first on top
// (the Orientation tag is not applied), each pixel composited over black with its alpha in
// bits 24-31: premultiplied colour is taken as stored, straight colour multiplied once, both
// rounded to the nearest level from the samples' full depth.
CodecResult DecodeTiffWithAlpha(const TiffLibrary& libtiff, TIFF* tiff,
                                const TiffAlphaLayout& layout, uint32_t width, uint32_t height,
                                DecodedPicture& out);

}  // namespace pic2pnm::codecs

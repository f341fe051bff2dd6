// The header of a Netpbm file: PBM, PGM and PPM in their plain (P1-P3) and raw (P4-P6)
// forms, and PAM (P7).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs::pnm {

// What one pixel of the raster holds.
enum class PnmLayout {
    Bitmap,     // PBM: one bit a pixel, 1 is black
    Grey,       // one sample (PAM BLACKANDWHITE too: 1 is white there)
    GreyAlpha,  // grey, then alpha
    Rgb,        // red, green, blue
    RgbAlpha,   // red, green, blue, alpha
};

struct PnmHeader {
    bool plain = false;  // samples as decimal text (P1-P3)
    PnmLayout layout = PnmLayout::Grey;
    uint64_t width = 0;  // at least 1; may be far beyond what we can hold
    uint64_t height = 0;
    uint32_t maxval = 1;  // 1 to 65535; 1 for PBM
    size_t rasterStart = 0;
};

// Samples a pixel has in the raster.
int SamplesPerPixel(PnmLayout layout);

// Bytes one row of a raw raster takes.
uint64_t RawRowBytes(const PnmHeader& header);

// True for "P1" to "P7" followed by whitespace or a comment.
bool LooksLikePnmSignature(FileView file);

// NotMyFormat without the signature; Corrupt for a header that breaks the format (missing
// or zero fields, maxval 0 or above 65535, a PAM header without ENDHDR, an unknown PAM tuple
// type or one whose depth does not match). The size is not checked here.
CodecResult ReadPnmHeader(FileView file, PnmHeader& out);

}  // namespace pic2pnm::codecs::pnm

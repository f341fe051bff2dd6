// What we read from a JPEG's markers ourselves before libjpeg-turbo decodes it: the frame
// size (to refuse huge pictures before anything is allocated), the resolution, and for a
// progressive file the number of scans.
#pragma once

#include <cstdint>

#include "platform/codecs/decoded_picture.h"

namespace pic2pnm::codecs {

struct JpegHeader {
    int32_t width = 0;
    int32_t height = 0;
    int components = 0;
    bool progressive = false;
    // Counted through the whole file for a progressive frame; otherwise the walk stops at the
    // first scan and this is 1.
    uint32_t scanCount = 0;
    // From the JFIF header when it gives a unit, else from the EXIF resolution; 0 when neither.
    float dpiX = 0;
    float dpiY = 0;
};

// Corrupt when no frame header comes before the first scan or the file ends first.
CodecStatus ReadJpegHeader(FileView file, JpegHeader& out);

}  // namespace pic2pnm::codecs

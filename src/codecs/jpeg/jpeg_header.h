// What we read from a JPEG's markers ourselves before libjpeg-turbo decodes it: the frame
// size (to refuse huge pictures before anything is allocated), the resolution, the number of
// scans and what the decoder must hold between them.
#pragma once

#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

struct JpegHeader {
    int32_t width = 0;
    int32_t height = 0;
    int components = 0;
    bool progressive = false;
    // Counted through the whole file, whatever the frame type.
    uint32_t scanCount = 0;
    // A progressive frame, or a first scan without every component: the decoder keeps the
    // coefficients of the whole picture until the last scan.
    bool multiScan = false;
    // Horizontal and vertical sampling factors of the first four components.
    uint8_t samplingX[4] = {};
    uint8_t samplingY[4] = {};
    // From the JFIF header when it gives a unit, else from the EXIF resolution; 0 when neither.
    float dpiX = 0;
    float dpiY = 0;
};

// Corrupt when no frame header comes before the first scan or the file ends first.
CodecResult ReadJpegHeader(FileView file, JpegHeader& out);

// The bytes of coefficients the decoder keeps for a multi-scan frame of at most four
// components (0 for a single scan): 128 bytes for every 8x8 block of every component, rows
// and columns of blocks padded to whole units of the component's sampling factors.
uint64_t JpegCoefficientBytes(const JpegHeader& header);

}  // namespace pic2pnm::codecs

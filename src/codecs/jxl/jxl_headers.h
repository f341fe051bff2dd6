// The facts of a JPEG XL codestream's headers that decide what libjxl will ask of memory,
// read by us before libjxl sees the file: libjxl 0.7 allocates its image buffers and the
// decoded colour profile with the C library, not through the memory manager it is given, and
// stops the program with a trap when an allocation fails. So what a file may ask for is
// bounded from these facts before it is decoded.
#pragma once

#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

struct JxlHeaderFacts {
    uint64_t width = 0;
    uint64_t height = 0;
    uint32_t colourChannels = 3;  // 1 for grey
    bool xybEncoded = true;       // lossy colour, decoded as floats
    uint32_t extraChannels = 0;
    // The pixels of every extra channel at its own resolution, added up.
    uint64_t extraChannelPixels = 0;
    // The size of the colour profile libjxl decodes before any frame; 0 without one.
    uint64_t profileBytes = 0;
};

// Reads the headers of a bare codestream, or of the codestream in a container's first
// codestream boxes, up to the start of the colour profile. False when they are cut short,
// broken, or spread over more boxes than any writer makes: libjxl could not read them either.
bool ReadJxlHeaderFacts(FileView file, JxlHeaderFacts& facts);

}  // namespace pic2pnm::codecs

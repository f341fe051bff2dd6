// The layout of a TGA file: its 18-byte header, image ID, colour map and pixel data, and the
// alpha meaning from the version-2 footer's extension area.
//
// TGA has no signature, so a file counts as TGA only when every header field is one we know
// and agrees with the others and the data it declares lies inside the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs::tga {

enum class TgaKind { ColorMapped, TrueColor, Grey };

enum class TgaAlpha {
    None,           // opaque
    Straight,       // alpha as such
    Premultiplied,  // colours already multiplied by alpha
};

struct TgaLayout {
    TgaKind kind = TgaKind::TrueColor;
    bool runLength = false;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t pixelBits = 0;  // 8, 15, 16, 24 or 32
    bool rightToLeft = false;
    bool topToBottom = false;
    TgaAlpha alpha = TgaAlpha::None;
    // The colour map (colour-mapped pictures only): entries of entryBits, the first of them
    // standing for index firstEntry.
    uint16_t firstEntry = 0;
    uint16_t entryCount = 0;
    uint8_t entryBits = 0;  // 15, 16, 24 or 32
    size_t colorMapStart = 0;
    size_t pixelStart = 0;
};

size_t BytesPerPixel(uint8_t bits);

// NotMyFormat unless the header is consistent and the colour map and the pixel data (for
// run-length data: packets that complete the picture) lie inside the file.
CodecResult ReadTgaLayout(FileView file, TgaLayout& out);

}  // namespace pic2pnm::codecs::tga

// Builds BMP files and headerless DIBs byte by byte, for the forms no tool here writes, and
// reads single pixels back from a decoded picture.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::testing::bmp {

using Bytes = std::vector<uint8_t>;

struct DibLayoutCase {
    uint32_t headerSize = 40;  // 12 writes an OS/2 1.x header; other sizes a zero-filled one
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    // Inside the header from offset 40 (as far as it reaches) for V2 and later headers,
    // after the header for a 40-byte one.
    std::vector<uint32_t> masks;
    std::vector<uint32_t> palette;  // 0xRRGGBB; 3-byte entries after a 12-byte header
    Bytes pixels;
};

inline void PutLe16(Bytes& bytes, size_t at, uint32_t value) {
    if (at + 2 > bytes.size()) return;  // a field the header is too short to hold
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void PutLe32(Bytes& bytes, size_t at, uint32_t value) {
    if (at + 4 > bytes.size()) return;
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

inline void AppendLe32(Bytes& bytes, uint32_t value) {
    bytes.resize(bytes.size() + 4);
    PutLe32(bytes, bytes.size() - 4, value);
}

// Header, masks and colour table: everything in front of the pixels.
inline Bytes BuildDibHeaderAndTable(const DibLayoutCase& layout) {
    Bytes bytes(layout.headerSize, 0);
    PutLe32(bytes, 0, layout.headerSize);
    bool core = layout.headerSize == 12;
    if (core) {
        PutLe16(bytes, 4, static_cast<uint32_t>(layout.width));
        PutLe16(bytes, 6, static_cast<uint32_t>(layout.height));
        PutLe16(bytes, 8, 1);
        PutLe16(bytes, 10, layout.bitCount);
    } else {
        PutLe32(bytes, 4, static_cast<uint32_t>(layout.width));
        PutLe32(bytes, 8, static_cast<uint32_t>(layout.height));
        PutLe16(bytes, 12, 1);
        PutLe16(bytes, 14, layout.bitCount);
        PutLe32(bytes, 16, layout.compression);
        PutLe32(bytes, 24, static_cast<uint32_t>(layout.xPelsPerMeter));
        PutLe32(bytes, 28, static_cast<uint32_t>(layout.yPelsPerMeter));
        PutLe32(bytes, 32, layout.colorsUsed);
    }
    for (size_t i = 0; i < layout.masks.size(); ++i) {
        if (layout.headerSize == 40)
            AppendLe32(bytes, layout.masks[i]);
        else
            PutLe32(bytes, 40 + 4 * i, layout.masks[i]);
    }
    for (uint32_t color : layout.palette) {
        bytes.push_back(static_cast<uint8_t>(color));
        bytes.push_back(static_cast<uint8_t>(color >> 8));
        bytes.push_back(static_cast<uint8_t>(color >> 16));
        if (!core) bytes.push_back(0);
    }
    return bytes;
}

inline Bytes BuildDib(const DibLayoutCase& layout) {
    Bytes bytes = BuildDibHeaderAndTable(layout);
    bytes.insert(bytes.end(), layout.pixels.begin(), layout.pixels.end());
    return bytes;
}

// A BMP file whose pixels follow the colour table directly.
inline Bytes BuildBmp(const DibLayoutCase& layout) {
    Bytes dib = BuildDibHeaderAndTable(layout);
    uint32_t pixelOffset = static_cast<uint32_t>(14 + dib.size());
    // Sized once and filled by copies: growing the vector by inserts trips false array-bounds
    // warnings of g++ 12 at -O2 and -O3.
    Bytes file(14 + dib.size() + layout.pixels.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 2, static_cast<uint32_t>(file.size()));
    PutLe32(file, 10, pixelOffset);
    std::copy(dib.begin(), dib.end(), file.begin() + 14);
    std::copy(layout.pixels.begin(), layout.pixels.end(), file.begin() + 14 + dib.size());
    return file;
}

inline void SetPixelOffset(Bytes& file, uint32_t offset) {
    PutLe32(file, 10, offset);
}

// Rows as stored, each padded with zeros to a multiple of 4 bytes.
inline Bytes PaddedRows(const std::vector<Bytes>& rows) {
    Bytes bytes;
    for (const Bytes& row : rows) {
        bytes.insert(bytes.end(), row.begin(), row.end());
        bytes.resize((bytes.size() + 3) / 4 * 4, 0);
    }
    return bytes;
}

// Pixel (x, y) counted from the top left, as 0xAARRGGBB.
inline uint32_t PixelAt(const codecs::DecodedPicture& picture, int32_t x, int32_t yFromTop) {
    return picture.pixels->RowFromTop(yFromTop)[x];
}

// Every pixel, top row first.
inline std::vector<uint32_t> AllPixels(const codecs::DecodedPicture& picture) {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x) pixels.push_back(PixelAt(picture, x, y));
    return pixels;
}

}  // namespace pic2pnm::testing::bmp

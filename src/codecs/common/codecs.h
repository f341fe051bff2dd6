// The decoders behind the native picture loader and the GDI+ stand-in, one per format.
// Each Looks... function checks only the signature; each Decode... function checks the rest,
// within the limits it is given, and says why it refuses a file (codec_reasons.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "codecs/common/codec_reasons.h"
#include "codecs/common/decode_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

bool LooksLikeBmp(FileView file);
bool LooksLikeGif(FileView file);
bool LooksLikeJpeg(FileView file);
bool LooksLikePng(FileView file);
bool LooksLikeTiff(FileView file);
bool LooksLikeWebp(FileView file);
bool LooksLikeIcon(FileView file);  // ICO or CUR
bool LooksLikePlaceableWmf(FileView file);
bool LooksLikeEmf(FileView file);
bool LooksLikePnm(FileView file);  // "P1" to "P7", then whitespace or a comment
bool LooksLikeQoi(FileView file);
// TGA has no signature: true when the whole file is a consistent TGA, which takes a decode.
bool LooksLikeTga(FileView file);
bool LooksLikeHeif(FileView file);  // HEIC, or an image file of no particular codec
bool LooksLikeAvif(FileView file);
bool LooksLikeJxl(FileView file);  // a bare codestream or the container

// Our own BMP decoder: OS/2 1.x/2.x and Windows headers up to V5, every bit depth,
// palettes, RLE4/RLE8, bit fields, top-down and bottom-up.
CodecResult DecodeBmp(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// A DIB without its file header: info header (any of the sizes a BMP file allows), colour
// table, then the pixels right after the colour table. For an icon or cursor image
// (iconImage true) the header's height counts the XOR image and the AND mask together and
// only the XOR image, the first height / 2 rows, is decoded; its compression must be BI_RGB.
CodecResult DecodeDib(FileView dib, bool iconImage, const DecodeLimits& limits,
                      DecodedPicture& out);
// First image of a GIF on its logical screen; transparent and uncovered pixels are black
// with alpha 0.
CodecResult DecodeGif(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// Baseline and progressive JPEG, greyscale, RGB, CMYK and YCCK, all as RGB.
CodecResult DecodeJpeg(FileView file, const DecodeLimits& limits, DecodedPicture& out);
CodecResult DecodePng(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// The same, faster for the common layouts: the file's bytes are rearranged while it decodes
// and are as they were again when it returns.
CodecResult DecodePngInPlace(std::span<uint8_t> file, const DecodeLimits& limits,
                             DecodedPicture& out);
// First page of a TIFF, as libtiff reads it as RGBA.
CodecResult DecodeTiff(FileView file, const DecodeLimits& limits, DecodedPicture& out);
CodecResult DecodeWebp(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// Our own Netpbm decoder: P1-P6 plain and raw, any maxval, and PAM (P7) of the black-and-
// white, grey and RGB tuple types with or without alpha; the first image of the file.
CodecResult DecodePnm(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// Our own QOI decoder, RGB and RGBA; the end marker must follow the last pixel.
CodecResult DecodeQoi(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// Our own TGA decoder: types 1, 2, 3, 9, 10 and 11. With no signature to go by, anything
// but a wholly consistent file whose data is all there is NotMyFormat.
CodecResult DecodeTga(FileView file, const DecodeLimits& limits, DecodedPicture& out);
// HEIF and AVIF through libheif, JPEG XL through libjxl: Unsupported when the library, or
// the codec a HEIF or AVIF file needs, is not installed.
CodecResult DecodeHeif(FileView file, const DecodeLimits& limits, DecodedPicture& out);
CodecResult DecodeAvif(FileView file, const DecodeLimits& limits, DecodedPicture& out);
CodecResult DecodeJxl(FileView file, const DecodeLimits& limits, DecodedPicture& out);

// An icon or cursor as the native loader keeps it.
struct DecodedIcon {
    bool isIcon = true;  // false for a cursor
    uint16_t hotspotX = 0;
    uint16_t hotspotY = 0;
    int32_t width = 0;
    int32_t height = 0;    // of one image, not of the AND+XOR pair
    uint16_t imageBits = 0;  // bits a pixel of the chosen image as stored: 1, 2, 4, 8, ... 32
    std::shared_ptr<PixelStore> color;  // null for a monochrome (1 bit per pixel) icon
    // The AND mask, 0 (opaque) or 0xFFFFFF (transparent) per pixel; for a monochrome icon
    // it is twice as high: the AND mask on top of the XOR image, as GDI keeps it.
    std::shared_ptr<PixelStore> mask;
};

// The entry a viewer would show (largest, then deepest), when its image is in BMP format.
// An icon whose chosen image is PNG is not decoded here (NotMyFormat).
CodecResult DecodeIcon(FileView file, const DecodeLimits& limits, DecodedIcon& out);
// The same entry as a picture with alpha (from its alpha channel or its AND mask); PNG
// images included. For GDI+.
CodecResult DecodeIconAsPicture(FileView file, const DecodeLimits& limits, DecodedPicture& out);

// A placeable Windows metafile's header.
struct PlaceableWmfHeader {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;
    uint16_t unitsPerInch = 0;
};
CodecResult ParsePlaceableWmf(FileView file, PlaceableWmfHeader& out);

// An enhanced metafile's header record up to its OpenGL flag (100 bytes), fields named as the
// file format names them; fields past the end of a shorter header read as 0. The native
// loader copies it into the GDI stand-in's header structure.
struct EmfRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};
struct EmfSize {
    int32_t cx = 0;
    int32_t cy = 0;
};
struct EmfHeader {
    uint32_t iType = 0;
    uint32_t nSize = 0;
    EmfRect rclBounds;  // inclusive bounds in device units
    EmfRect rclFrame;   // inclusive frame in 0.01 mm
    uint32_t dSignature = 0;
    uint32_t nVersion = 0;
    uint32_t nBytes = 0;
    uint32_t nRecords = 0;
    uint16_t nHandles = 0;
    uint16_t sReserved = 0;
    uint32_t nDescription = 0;
    uint32_t offDescription = 0;
    uint32_t nPalEntries = 0;
    EmfSize szlDevice;
    EmfSize szlMillimeters;
    uint32_t cbPixelFormat = 0;
    uint32_t offPixelFormat = 0;
    uint32_t bOpenGL = 0;
};
inline constexpr size_t EmfHeaderBytes = 100;
CodecResult ParseEmfHeader(FileView file, EmfHeader& out);

}  // namespace pic2pnm::codecs

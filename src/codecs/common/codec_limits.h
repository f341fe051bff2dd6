// What a file may ask of the program while it is decoded, in one value that every decode is
// given: the largest picture, the memory a picture may cost, and the proportions a format's
// own structures must keep to their picture. The loaders decode with DefaultDecodeLimits; tests
// and fuzz targets pass limits of their own.
#pragma once

#include <cstdint>

namespace pic2pnm::codecs {

inline constexpr uint64_t MiB = uint64_t{1} << 20;

// The most pixels a picture can have: the extraction works out 4 * width * height bytes in
// signed 32-bit arithmetic (IsPictureSizeSupported).
inline constexpr int64_t MostPicturePixels = INT32_MAX / 4;

// a + b, or UINT64_MAX when that does not fit.
constexpr uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// a * b, or UINT64_MAX when that does not fit.
constexpr uint64_t SaturatingMultiply(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// What a TIFF directory may claim of strips and tiles, against its picture. The strip or tile
// buffers libtiff allocates, and the work of decoding them, follow from the directory's own
// claims (tile size, samples a pixel, byte counts), which a few hostile bytes can make a
// thousand times the picture.
struct TiffProportions {
    // Tiles overhang the picture's right and bottom edges. Decoding all of them may cost this
    // many times the picture rounded up to `tileStep` pixels (a tile as large as that rounded
    // picture, less one pixel, at each edge) and `tileWorkAllowanceBytes` more for small
    // pictures in large tiles: writers use 256 or 512 pixel tiles whatever the picture's size.
    uint32_t tileStep = 16;
    uint64_t tileWorkFactor = 4;
    uint64_t tileWorkAllowanceBytes = 256 * MiB;
    // Samples a pixel may have beyond its colour samples: an alpha, and one more that the
    // reader passes over.
    uint16_t extraSamples = 2;
    // No compression we decode stores a strip or tile in more than this many times its
    // decoded bytes (JPEG at its worst comes nearest, near 3.4); the allowance covers headers
    // and tables.
    uint64_t storedBytesFactor = 8;
    uint64_t storedBytesAllowance = uint64_t{64} << 10;
};

// What a HEIF or AVIF file may ask of the program before libheif reads it. libheif 1.15 looks
// items, properties and references up by walking its lists, once for every item it interprets
// and again for every tile it decodes, so its time grows with the square of their numbers; and
// it decodes grids and overlays as their own data describes them. These keep both within the
// few seconds and the memory of the picture's budget, well above what cameras, phones and
// encoders write: a 48-megapixel phone picture is a grid of 192 tiles of 512 x 512, with a few
// dozen other items. At 2048 items libheif takes about a second to interpret a file, several in
// a sanitized build.
struct HeifLimits {
    // Items a file may list, and properties, extents and references it may give them.
    uint32_t items = 2048;
    uint32_t properties = 4096;
    uint32_t extentsPerItem = 32;  // libheif's own limit
    uint32_t referenceTargets = 16384;
    // Tiles a grid may have: 32 x 32 tiles of 512 x 512 make a 268-megapixel picture.
    uint32_t gridTiles = 1024;
    // How many derived pictures (grids, overlays, identities) may stand one upon another: an
    // identity of a grid, an overlay of grids. A grid of grids is not what writers make.
    uint32_t derivationDepth = 2;
    // Pixels a grid tile may have beyond the grid's whole picture: tiles are coded in whole
    // blocks, so a small picture's one tile is larger than the picture.
    uint64_t tileAllowancePixels = 2048 * 2048;
};

struct DecodeLimits {
    // The most pixels a picture may have; never more than MostPicturePixels, which the pixel
    // store can hold.
    int64_t pixels = MostPicturePixels;
    // The memory a picture may cost while it is decoded: so many bytes a pixel of the picture
    // the file states (the pixel store's 4 among them) and a fixed allowance for headers,
    // tables and the decoder's own state. Every decoder that bounds what a file may ask for
    // measures against it, so that no file costs more than its picture.
    uint64_t budgetBytesPerPixel = 9;
    uint64_t budgetAllowanceBytes = 16 * MiB;
    // Scans a JPEG may have: well above the dozen or so encoders write; a file with more is
    // built to make the decoder pass over the whole picture again and again.
    uint32_t jpegScans = 100;
    TiffProportions tiff;
    HeifLimits heif;

    // True when a picture of this size may be decoded: both sides at least 1, no more than
    // `pixels` pixels, and a size the pixel store can hold (IsPictureSizeSupported, which
    // also tells a decode child the size).
    bool AllowsPicture(int64_t width, int64_t height) const;

    // The whole budget of a picture of `pixelCount` pixels.
    constexpr uint64_t BudgetBytes(uint64_t pixelCount) const {
        return SaturatingAdd(SaturatingMultiply(pixelCount, budgetBytesPerPixel),
                             budgetAllowanceBytes);
    }
    // The budget less the pixel store: what a decoder may hold beside the picture's pixels.
    constexpr uint64_t BudgetBesidePixels(uint64_t pixelCount) const {
        const uint64_t perPixel = budgetBytesPerPixel > 4 ? budgetBytesPerPixel - 4 : 0;
        return SaturatingAdd(SaturatingMultiply(pixelCount, perPixel), budgetAllowanceBytes);
    }
};

inline constexpr DecodeLimits DefaultDecodeLimits{};

// The limits the loaders decode with: DefaultDecodeLimits, with the pixel cap a fuzz target
// may have lowered (SetPixelCountCapForFuzzing).
const DecodeLimits& LoaderDecodeLimits();

}  // namespace pic2pnm::codecs

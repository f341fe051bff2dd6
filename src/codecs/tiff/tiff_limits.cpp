#include "codecs/tiff/tiff_limits.h"

#include <algorithm>

#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs {
namespace {

// No photometric tag: counted as three colour samples, the most libtiff's reader guesses.
constexpr uint16_t PhotometricMissing = UINT16_MAX;
// libtiff takes the cap as a signed size.
constexpr uint64_t LargestCap = INT64_MAX;

uint16_t ColourSamples(uint16_t photometric) {
    switch (photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_PALETTE:
        case PHOTOMETRIC_MASK:
        case PHOTOMETRIC_LOGL: return 1;
        case PHOTOMETRIC_SEPARATED: return 4;
        default: return 3;  // RGB, YCbCr, the CIE Lab kinds, LogLuv, or no tag at all
    }
}

uint64_t RoundUp(uint64_t value, uint64_t step) {
    return (value + step - 1) / step * step;
}

// Decoded bytes of `rows` rows of `columns` pixels; the factors are small enough (below 2^32
// columns and rows, 2^16 samples of at most 2^16 bits) that no product passes 2^64 but the
// last, which saturates.
uint64_t DecodedBytes(const TiffLayout& layout, uint64_t columns, uint64_t rows) {
    const uint64_t rowBits = columns * layout.samplesPerPixel * layout.bitsPerSample;
    const uint64_t rowBytes = (rowBits + 7) / 8;
    uint64_t bytes = 0;
    if (__builtin_mul_overflow(rowBytes, rows, &bytes)) return UINT64_MAX;
    return bytes;
}

uint64_t CeilDivide(uint64_t value, uint64_t step) {
    return value / step + (value % step != 0 ? 1 : 0);
}

// One tile at a time is held: it may take as much memory as the picture's own samples and
// the allowance, the most libtiff is let allocate at once. All of them together are decoded:
// they may not take more work than the picture's rounded area in tiles would.
CodecResult CheckTiles(const TiffLayout& layout, const DecodeLimits& limits) {
    const TiffProportions& most = limits.tiff;
    if (layout.tileWidth == 0 || layout.tileLength == 0)
        return Refuse("tiff: a tile of no width or no length");
    const uint64_t tile = DecodedBytes(layout, layout.tileWidth, layout.tileLength);
    const uint64_t picture = DecodedBytes(layout, layout.width, layout.height);
    if (tile > SaturatingAdd(picture, limits.budgetAllowanceBytes))
        return Refuse("tiff: a tile decodes to more than the picture allows");
    const uint64_t tiles = CeilDivide(layout.width, layout.tileWidth) *
                           CeilDivide(layout.height, layout.tileLength);  // below 2^64
    const uint64_t rounded = DecodedBytes(layout, RoundUp(layout.width, most.tileStep),
                                          RoundUp(layout.height, most.tileStep));
    if (SaturatingMultiply(tiles, tile) >
        SaturatingAdd(SaturatingMultiply(rounded, most.tileWorkFactor),
                      most.tileWorkAllowanceBytes))
        return Refuse("tiff: the tiles together decode to far more than the picture");
    return Decoded;
}

uint64_t LargestChunkBytes(const TiffLayout& layout) {
    if (layout.tiled) return DecodedBytes(layout, layout.tileWidth, layout.tileLength);
    const uint32_t rows = std::min(layout.rowsPerStrip, layout.height);
    return DecodedBytes(layout, layout.width, rows);
}

}  // namespace

bool ReadTiffLayout(const TiffLibrary& libtiff, TIFF* tiff, TiffLayout& out) {
    out = TiffLayout{};
    if (libtiff.GetField(tiff, TIFFTAG_IMAGEWIDTH, &out.width) != 1 ||
        libtiff.GetField(tiff, TIFFTAG_IMAGELENGTH, &out.height) != 1) {
        return false;
    }
    // Without the tag libtiff's reader guesses from the samples; allow what it may guess.
    if (libtiff.GetField(tiff, TIFFTAG_PHOTOMETRIC, &out.photometric) != 1)
        out.photometric = PhotometricMissing;
    libtiff.GetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &out.samplesPerPixel);
    libtiff.GetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &out.bitsPerSample);
    // libtiff decides whether the picture is tiled (one tile tag is enough for it) and sizes
    // its table of byte counts by that; read the table the same way, entry by entry, so that a
    // file whose tags disagree cannot make us read past its end.
    out.tiled = libtiff.IsTiled(tiff) != 0;
    if (out.tiled) {
        if (libtiff.GetField(tiff, TIFFTAG_TILEWIDTH, &out.tileWidth) != 1 ||
            libtiff.GetField(tiff, TIFFTAG_TILELENGTH, &out.tileLength) != 1)
            return false;
    } else {
        libtiff.GetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &out.rowsPerStrip);
    }
    const uint32_t chunks = out.tiled ? libtiff.NumberOfTiles(tiff) : libtiff.NumberOfStrips(tiff);
    for (uint32_t i = 0; i < chunks; ++i) {
        int failed = 0;
        const uint64_t bytes = libtiff.GetStrileByteCountWithErr(tiff, i, &failed);
        if (failed != 0) return false;
        out.largestByteCount = std::max(out.largestByteCount, bytes);
    }
    return true;
}

CodecResult CheckTiffProportions(const TiffLayout& layout, const DecodeLimits& limits) {
    const TiffProportions& most = limits.tiff;
    if (layout.samplesPerPixel == 0 || layout.bitsPerSample == 0)
        return Refuse("tiff: no samples a pixel, or samples of no bits");
    if (layout.samplesPerPixel > ColourSamples(layout.photometric) + most.extraSamples)
        return Refuse("tiff: more samples a pixel than its colours and the extra ones allowed");
    if (layout.tiled) {
        if (const CodecResult tiles = CheckTiles(layout, limits); !tiles.IsOk()) return tiles;
    }
    const uint64_t storable =
        SaturatingAdd(SaturatingMultiply(LargestChunkBytes(layout), most.storedBytesFactor),
                      most.storedBytesAllowance);
    if (layout.largestByteCount > storable)
        return Refuse("tiff: a strip or tile holds more bytes than its samples could need");
    return Decoded;
}

uint64_t TiffAllocationCapFor(const TiffLayout& layout, const DecodeLimits& limits) {
    const uint64_t allowance = std::min(limits.budgetAllowanceBytes, LargestCap);
    const uint64_t picture = DecodedBytes(layout, layout.width, layout.height);
    return std::min(picture, LargestCap - allowance) + allowance;
}

uint64_t TiffAllocationCapForFile(uint64_t fileBytes, const DecodeLimits& limits) {
    const uint64_t allowance = std::min(limits.budgetAllowanceBytes, LargestCap);
    return std::min(fileBytes, (LargestCap - allowance) / 4) * 4 + allowance;
}

}  // namespace pic2pnm::codecs

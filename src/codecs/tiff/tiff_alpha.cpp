#include "codecs/tiff/tiff_alpha.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/common/codec_reasons.h"
#include "codecs/tiff/tiff_format.h"

namespace pic2pnm::codecs {
namespace {

// The same bound libtiff is given for its own blocks: a strip or tile that needs more is
// refused, as the RGBA reader refuses it.
constexpr uint64_t MaxBlockBytes = uint64_t{1} << 30;

constexpr uint64_t FullScale = 65535;  // samples are worked with at 16 bits

// round(level * 255 / 65535)
uint32_t To8Bits(uint64_t level) {
    return static_cast<uint32_t>((level * 510 + FullScale) / (2 * FullScale));
}

// round(colour * alpha * 255 / 65535²): straight colour over black, from the full depth.
uint32_t MultipliedTo8Bits(uint64_t colour, uint64_t alpha) {
    return static_cast<uint32_t>((colour * alpha * 510 + FullScale * FullScale) /
                                 (2 * FullScale * FullScale));
}

struct Palette {
    const uint16_t* red = nullptr;
    const uint16_t* green = nullptr;
    const uint16_t* blue = nullptr;
    uint64_t scale = 1;  // 257 when every entry is below 256: a map written with 8-bit values
};

struct BlockGeometry {
    bool tiled = false;
    uint32_t width = 0;   // of a tile; of the picture for strips
    uint32_t height = 0;  // of a tile; the rows of a strip
    uint64_t rowBytes = 0;
    uint64_t bytes = 0;  // one plane's block
    uint64_t across = 0;
    uint64_t perPlane = 0;
};

CodecResult ReadGeometry(const TiffLibrary& libtiff, TIFF* tiff, const TiffAlphaLayout& layout,
                         uint32_t width, uint32_t height, BlockGeometry& block) {
    constexpr CodecResult NoSize = Refuse("tiff: a strip or tile of no rows or columns");
    block.tiled = libtiff.IsTiled(tiff) != 0;
    if (block.tiled) {
        if (libtiff.GetField(tiff, TIFFTAG_TILEWIDTH, &block.width) != 1 ||
            libtiff.GetField(tiff, TIFFTAG_TILELENGTH, &block.height) != 1)
            return NoSize;
        // A tile larger than the picture is bounded by CheckTiffProportions.
        if (block.width == 0 || block.height == 0) return NoSize;
    } else {
        uint32_t rowsPerStrip = 0;
        libtiff.GetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        if (rowsPerStrip == 0) return NoSize;
        block.width = width;
        block.height = std::min(rowsPerStrip, height);
    }
    const uint64_t samples = layout.separatePlanes ? 1 : layout.samplesPerPixel;
    // At most 2^32 x 2^16 x 2 bytes a row: no overflow; the product with the rows is checked.
    block.rowBytes = uint64_t{block.width} * samples * (layout.bitsPerSample / 8);
    if (__builtin_mul_overflow(block.rowBytes, uint64_t{block.height}, &block.bytes) ||
        block.bytes > MaxBlockBytes)
        return Refuse("tiff: a strip or tile larger than 1 GiB");
    block.across = (uint64_t{width} + block.width - 1) / block.width;
    const uint64_t down = (uint64_t{height} + block.height - 1) / block.height;
    block.perPlane = block.across * down;
    // libtiff's count of strips or tiles must agree, or the offsets table does not fit.
    const uint64_t planes = layout.separatePlanes ? layout.samplesPerPixel : 1;
    const uint64_t count = block.tiled ? libtiff.NumberOfTiles(tiff) : libtiff.NumberOfStrips(tiff);
    if (count != block.perPlane * planes)
        return Refuse("tiff: the count of strips or tiles does not fit the picture");
    return Decoded;
}

bool ReadPalette(const TiffLibrary& libtiff, TIFF* tiff, uint16_t bitsPerSample, Palette& map) {
    if (libtiff.GetField(tiff, TIFFTAG_COLORMAP, &map.red, &map.green, &map.blue) != 1 ||
        map.red == nullptr || map.green == nullptr || map.blue == nullptr)
        return false;
    const size_t entries = size_t{1} << bitsPerSample;
    const bool eightBit = *std::max_element(map.red, map.red + entries) < 256 &&
                          *std::max_element(map.green, map.green + entries) < 256 &&
                          *std::max_element(map.blue, map.blue + entries) < 256;
    map.scale = eightBit ? 257 : 1;
    return true;
}

// One plane's block and how to find a sample in it.
struct PlaneView {
    const uint8_t* bytes = nullptr;
    uint64_t rowBytes = 0;
    uint32_t step = 1;   // samples from one pixel to the next
    uint32_t first = 0;  // the sample's place within a pixel
};

template <typename Sample>
Sample RawSampleAt(const PlaneView& plane, uint32_t row, uint32_t column) {
    Sample value;
    const uint64_t at =
        row * plane.rowBytes + (uint64_t{column} * plane.step + plane.first) * sizeof value;
    std::memcpy(&value, plane.bytes + at, sizeof value);
    return value;
}

// The sample scaled to 16 bits (an 8-bit level v is v * 257).
template <typename Sample>
uint64_t SampleAt(const PlaneView& plane, uint32_t row, uint32_t column) {
    const uint64_t value = RawSampleAt<Sample>(plane, row, column);
    return sizeof(Sample) == 1 ? value * 257 : value;
}

template <typename Sample>
void ComposeRow(const TiffAlphaLayout& layout, const Palette& map, const PlaneView* planes,
                uint32_t row, uint32_t columns, uint32_t* destination) {
    const PlaneView& alphaPlane = planes[layout.colourSamples];
    for (uint32_t x = 0; x < columns; ++x) {
        uint64_t colour[3];
        if (layout.photometric == PHOTOMETRIC_RGB) {
            for (int c = 0; c < 3; ++c) colour[c] = SampleAt<Sample>(planes[c], row, x);
        } else if (layout.photometric == PHOTOMETRIC_PALETTE) {
            // 8 or 16 bits: always within the map's 2^bits entries.
            const Sample index = RawSampleAt<Sample>(planes[0], row, x);
            colour[0] = map.red[index] * map.scale;
            colour[1] = map.green[index] * map.scale;
            colour[2] = map.blue[index] * map.scale;
        } else {
            uint64_t grey = SampleAt<Sample>(planes[0], row, x);
            if (layout.photometric == PHOTOMETRIC_MINISWHITE) grey = FullScale - grey;
            colour[0] = colour[1] = colour[2] = grey;
        }
        const uint64_t alpha = SampleAt<Sample>(alphaPlane, row, x);
        uint32_t pixel = To8Bits(alpha) << 24;
        for (int c = 0; c < 3; ++c) {
            const uint32_t level =
                layout.premultiplied ? To8Bits(colour[c]) : MultipliedTo8Bits(colour[c], alpha);
            pixel |= level << (16 - 8 * c);
        }
        destination[x] = pixel;
    }
}

CodecResult ReadPixels(const TiffLibrary& libtiff, TIFF* tiff, const TiffAlphaLayout& layout,
                       const Palette& map, const BlockGeometry& block, PixelStore& store) {
    // Contiguous samples come in one plane; separate ones in a plane each, of which the
    // colour planes and the alpha plane are read.
    const uint32_t planesRead = layout.separatePlanes ? layout.colourSamples + 1u : 1u;
    std::unique_ptr<uint8_t[]> buffers[4];
    PlaneView views[4];
    for (uint32_t p = 0; p < planesRead; ++p) {
        buffers[p].reset(new (std::nothrow) uint8_t[block.bytes]);
        if (buffers[p] == nullptr) return Refuse("tiff: no memory for a strip or tile");
    }
    for (uint32_t s = 0; s <= layout.colourSamples; ++s) {
        const uint32_t p = layout.separatePlanes ? s : 0;
        views[s] = PlaneView{buffers[p].get(), block.rowBytes,
                             layout.separatePlanes ? 1u : layout.samplesPerPixel,
                             layout.separatePlanes ? 0u : s};
    }
    const uint32_t width = static_cast<uint32_t>(store.Width());
    const uint32_t height = static_cast<uint32_t>(store.Height());
    for (uint64_t b = 0; b < block.perPlane; ++b) {
        const uint32_t left = static_cast<uint32_t>(b % block.across) * block.width;
        const uint32_t top = static_cast<uint32_t>(b / block.across) * block.height;
        const uint32_t columns = std::min(block.width, width - left);
        const uint32_t rows = std::min(block.height, height - top);
        // A tile is always whole; the last strip holds only the rows left.
        const uint64_t needed = block.tiled ? block.bytes : rows * block.rowBytes;
        for (uint32_t p = 0; p < planesRead; ++p) {
            const uint32_t index = static_cast<uint32_t>(b + p * block.perPlane);
            const tmsize_t size = static_cast<tmsize_t>(block.bytes);
            const tmsize_t got =
                block.tiled ? libtiff.ReadEncodedTile(tiff, index, buffers[p].get(), size)
                            : libtiff.ReadEncodedStrip(tiff, index, buffers[p].get(), size);
            if (got < 0 || static_cast<uint64_t>(got) < needed)
                return Refuse("tiff: libtiff cannot decode a strip or tile");
        }
        for (uint32_t r = 0; r < rows; ++r) {
            uint32_t* destination = store.RowFromTop(static_cast<int32_t>(top + r)) + left;
            if (layout.bitsPerSample == 8)
                ComposeRow<uint8_t>(layout, map, views, r, columns, destination);
            else
                ComposeRow<uint16_t>(layout, map, views, r, columns, destination);
        }
    }
    return Decoded;
}

}  // namespace

bool DescribeTiffAlpha(const TiffLibrary& libtiff, TIFF* tiff, TiffAlphaLayout& layout) {
    uint16_t photometric = 0;
    if (libtiff.GetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 1) return false;
    uint16_t colourSamples = 0;
    switch (photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_PALETTE: colourSamples = 1; break;
        case PHOTOMETRIC_RGB: colourSamples = 3; break;
        default: return false;
    }
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t planar = 0;
    uint16_t format = 0;
    uint16_t extraCount = 0;
    const uint16_t* extra = nullptr;
    libtiff.GetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    libtiff.GetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    libtiff.GetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    libtiff.GetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    if (libtiff.GetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) != 1 ||
        extraCount == 0 || extra == nullptr)
        return false;
    if ((bits != 8 && bits != 16) || format != SAMPLEFORMAT_UINT ||
        samples != colourSamples + extraCount)
        return false;
    layout.photometric = photometric;
    layout.bitsPerSample = bits;
    layout.samplesPerPixel = samples;
    layout.colourSamples = colourSamples;
    layout.premultiplied = extra[0] == EXTRASAMPLE_ASSOCALPHA;
    layout.separatePlanes = planar == PLANARCONFIG_SEPARATE;
    return true;
}

CodecResult DecodeTiffWithAlpha(const TiffLibrary& libtiff, TIFF* tiff,
                                const TiffAlphaLayout& layout, uint32_t width, uint32_t height,
                                DecodedPicture& out) {
    Palette map;
    if (layout.photometric == PHOTOMETRIC_PALETTE &&
        !ReadPalette(libtiff, tiff, layout.bitsPerSample, map))
        return Refuse("tiff: a palette picture without its colour map");
    BlockGeometry block;
    if (const CodecResult geometry = ReadGeometry(libtiff, tiff, layout, width, height, block);
        !geometry.IsOk())
        return geometry;
    auto store = PixelStore::Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (store == nullptr) return Refuse("tiff: no memory for the pixels");
    if (const CodecResult pixels = ReadPixels(libtiff, tiff, layout, map, block, *store);
        !pixels.IsOk())
        return pixels;

    FillTiffPicture(libtiff, tiff,
                    DescribeTiffSource(layout.photometric, layout.bitsPerSample,
                                       layout.samplesPerPixel, /*hasAlpha=*/true),
                    std::move(store), out);
    return Decoded;
}

}  // namespace pic2pnm::codecs

#include "codecs/png/png_rows.h"

#define ZLIB_CONST  // z_stream::next_in points at const bytes
#include <zlib.h>

#include <cstring>
#include <memory>
#include <new>

#include "codecs/common/byte_order.h"
#include "codecs/png/png_paeth_vector.h"

namespace pic2pnm::codecs {
namespace {

constexpr size_t SignatureBytes = 8;
constexpr uint32_t MaxChunkLength = 0x7FFFFFFF;  // the largest the format allows

// The data of the IDAT chunks, one chunk at a time, each checked against its CRC. The chunks
// must follow one another; the stream ends at the first other chunk.
class IdatChunks {
  public:
    explicit IdatChunks(FileView file) : file_(file) {}

    // The next chunk's data; false at the end of the IDAT chunks or on anything amiss.
    bool Next(const uint8_t*& data, uint32_t& length) {
        while (position_ + 12 <= file_.size()) {
            const uint8_t* chunk = file_.data() + position_;
            const uint32_t chunkLength = ReadBe32(chunk);
            if (chunkLength > MaxChunkLength || chunkLength > file_.size() - position_ - 12)
                return false;
            position_ += size_t{12} + chunkLength;
            if (std::memcmp(chunk + 4, "IDAT", 4) != 0) {
                if (seenIdat_) return false;
                continue;
            }
            seenIdat_ = true;
            const uLong crc = crc32_z(crc32_z(0, nullptr, 0), chunk + 4, size_t{4} + chunkLength);
            if (crc != ReadBe32(chunk + 8 + chunkLength)) return false;
            data = chunk + 8;
            length = chunkLength;
            return true;
        }
        return false;
    }

  private:
    FileView file_;
    size_t position_ = SignatureBytes;
    bool seenIdat_ = false;
};

struct InflateStream {
    z_stream z{};
    bool open = false;
    bool ended = false;  // the zlib stream and its checksum are complete
    ~InflateStream() {
        if (open) inflateEnd(&z);
    }
};

// Inflates into z.next_out until z.avail_out is 0 or the stream ends, taking IDAT chunks as
// needed. False when the chunks run out first or the stream is broken.
bool InflateSome(InflateStream& stream, IdatChunks& chunks) {
    z_stream& z = stream.z;
    while (z.avail_out > 0 && !stream.ended) {
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            stream.ended = true;
        } else if (result == Z_BUF_ERROR || (result == Z_OK && z.avail_in == 0)) {
            if (z.avail_in != 0) return false;  // no room was not the reason
            const uint8_t* data = nullptr;
            uint32_t length = 0;
            if (!chunks.Next(data, length)) return false;
            z.next_in = data;
            z.avail_in = length;
        } else if (result != Z_OK) {
            return false;
        }
    }
    return true;
}

// Fills `out` with the next `size` bytes of the image data; false if the stream ends first or
// is broken.
bool Inflate(InflateStream& stream, IdatChunks& chunks, uint8_t* out, size_t size) {
    stream.z.next_out = out;
    stream.z.avail_out = static_cast<uInt>(size);
    return InflateSome(stream, chunks) && stream.z.avail_out == 0;
}

// True when the stream ends here, checksum included, with no data after it in the IDAT
// chunks and no further IDAT chunk.
bool EndsCleanly(InflateStream& stream, IdatChunks& chunks) {
    uint8_t spare = 0;
    stream.z.next_out = &spare;
    stream.z.avail_out = 1;
    if (!InflateSome(stream, chunks) || !stream.ended || stream.z.avail_out == 0) return false;
    if (stream.z.avail_in != 0) return false;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    return !chunks.Next(data, length);
}

// The Paeth predictor of a sample from its left (a), upper (b) and upper-left (c) neighbours,
// with |p - a| = |b - c| worked out ahead from the row above: only what depends on the left
// neighbour, unfiltered just before, lies on the way from one pixel to the next. Written
// without branches: on photographs the choice is close to random, and a mispredicted branch
// on every byte costs more than working out all three.
inline uint8_t Paeth(uint8_t a, uint8_t b, uint8_t c, int bMinusC, int pa) {
    const int aMinusC = a - c;
    const int pb = aMinusC < 0 ? -aMinusC : aMinusC;                                  // |p - b|
    const int pc = aMinusC + bMinusC < 0 ? -(aMinusC + bMinusC) : aMinusC + bMinusC;  // |p - c|
    const bool useA = (pa <= pb) & (pa <= pc);
    const uint8_t bOrC = pb <= pc ? b : c;
    return useA ? a : bOrC;
}

// Undoes the filter of one row of `size` bytes (a whole number of pixels) in place;
// `previous` is the row above, already unfiltered (zeros above the first row). Bpp is the
// bytes a pixel. The left and upper-left neighbours are carried in registers from pixel to
// pixel: reading them back from the row just written would wait on every store.
template <size_t Bpp>
bool Unfilter(uint8_t filter, uint8_t* row, const uint8_t* previous, size_t size) {
    uint8_t left[Bpp] = {};
    uint8_t upperLeft[Bpp] = {};
    switch (filter) {
        case 0: return true;
        case 1:
            for (size_t i = 0; i < size; i += Bpp) {
                for (size_t k = 0; k < Bpp; ++k) {
                    left[k] = static_cast<uint8_t>(row[i + k] + left[k]);
                    row[i + k] = left[k];
                }
            }
            return true;
        case 2:
            for (size_t i = 0; i < size; ++i) row[i] = static_cast<uint8_t>(row[i] + previous[i]);
            return true;
        case 3:
            for (size_t i = 0; i < size; i += Bpp) {
                for (size_t k = 0; k < Bpp; ++k) {
                    left[k] = static_cast<uint8_t>(row[i + k] + ((left[k] + previous[i + k]) >> 1));
                    row[i + k] = left[k];
                }
            }
            return true;
        case 4:
#if defined(PIC2PNM_PAETH_VECTOR)
            if constexpr (Bpp >= 3) {
                UnfilterPaethVector<Bpp>(row, previous, size);
                return true;
            }
#endif
            for (size_t i = 0; i < size; i += Bpp) {
                for (size_t k = 0; k < Bpp; ++k) {
                    const uint8_t above = previous[i + k];
                    const int bMinusC = above - upperLeft[k];
                    const int pa = bMinusC < 0 ? -bMinusC : bMinusC;
                    left[k] = static_cast<uint8_t>(
                        row[i + k] + Paeth(left[k], above, upperLeft[k], bMinusC, pa));
                    upperLeft[k] = above;
                    row[i + k] = left[k];
                }
            }
            return true;
        default: return false;
    }
}

bool UnfilterRow(uint8_t filter, uint8_t* row, const uint8_t* previous, size_t size, size_t bpp) {
    switch (bpp) {
        case 1: return Unfilter<1>(filter, row, previous, size);
        case 2: return Unfilter<2>(filter, row, previous, size);
        case 3: return Unfilter<3>(filter, row, previous, size);
        default: return Unfilter<4>(filter, row, previous, size);
    }
}

constexpr uint32_t Opaque = 0xFF000000u;

uint32_t Bgra(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return a << 24 | r << 16 | g << 8 | b;
}

// One unfiltered row into BGRA pixels. False for a palette index past the palette.
// The format wants a tRNS value's bits above the depth to be 0. For files that set them we
// match as libspng does: an RGB value on the low 8 bits of each sample, a grey value whole
// (so that it matches nothing).
bool ConvertRow(const PngLayout& layout, const uint8_t* samples, uint32_t* out) {
    const uint32_t width = layout.width;
    const auto keyRed = static_cast<uint8_t>(layout.trnsRed);
    const auto keyGreen = static_cast<uint8_t>(layout.trnsGreen);
    const auto keyBlue = static_cast<uint8_t>(layout.trnsBlue);
    switch (layout.colorType) {
        case 0:
            if (!layout.hasTrns) {
                // One multiplication copies the level into blue, green and red; no test
                // a pixel, so that the loop runs on vectors.
                for (uint32_t x = 0; x < width; ++x) out[x] = Opaque | samples[x] * 0x010101u;
                return true;
            }
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t v = samples[x];
                const uint32_t alpha = layout.hasTrns && v == layout.trnsGrey ? 0 : 255;
                out[x] = Bgra(v, v, v, alpha);
            }
            return true;
        case 2:
            if (!layout.hasTrns) {
                for (uint32_t x = 0; x < width; ++x, samples += 3)
                    out[x] = Opaque | uint32_t{samples[0]} << 16 | uint32_t{samples[1]} << 8 |
                             samples[2];
                return true;
            }
            for (uint32_t x = 0; x < width; ++x, samples += 3) {
                const bool key =
                    samples[0] == keyRed && samples[1] == keyGreen && samples[2] == keyBlue;
                out[x] = Bgra(samples[0], samples[1], samples[2], key ? 0 : 255);
            }
            return true;
        case 3:
            for (uint32_t x = 0; x < width; ++x) {
                if (samples[x] >= layout.paletteEntries) return false;
                out[x] = layout.palette[samples[x]];
            }
            return true;
        case 4:
            for (uint32_t x = 0; x < width; ++x, samples += 2)
                out[x] = Bgra(samples[0], samples[0], samples[0], samples[1]);
            return true;
        default:
            for (uint32_t x = 0; x < width; ++x, samples += 4)
                out[x] = Bgra(samples[0], samples[1], samples[2], samples[3]);
            return true;
    }
}

size_t BytesPerPixel(uint8_t colorType) {
    switch (colorType) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;
    }
}

}  // namespace

bool IsDirectPngLayout(const PngLayout& layout) {
    const bool knownColorType = layout.colorType == 0 || layout.colorType == 2 ||
                                layout.colorType == 3 || layout.colorType == 4 ||
                                layout.colorType == 6;
    return layout.bitDepth == 8 && layout.interlace == 0 && knownColorType && layout.width > 0 &&
           layout.height > 0;
}

bool DecodePngRowsDirect(FileView file, const PngLayout& layout, PixelStore& store) {
    if (!IsDirectPngLayout(layout) || file.size() < SignatureBytes) return false;
    if (store.Width() != static_cast<int32_t>(layout.width) ||
        store.Height() != static_cast<int32_t>(layout.height))
        return false;
    const size_t bpp = BytesPerPixel(layout.colorType);
    const size_t rowBytes = static_cast<size_t>(layout.width) * bpp;  // below 2^34: no overflow
    // Two rows with their filter bytes: this one and the one above.
    std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[2 * (rowBytes + 1)]());
    if (rows == nullptr) return false;
    uint8_t* current = rows.get();
    uint8_t* previous = rows.get() + rowBytes + 1;

    InflateStream stream;
    if (inflateInit(&stream.z) != Z_OK) return false;
    stream.open = true;
    IdatChunks chunks(file);
    for (uint32_t y = 0; y < layout.height; ++y) {
        if (!Inflate(stream, chunks, current, rowBytes + 1)) return false;
        if (!UnfilterRow(current[0], current + 1, previous + 1, rowBytes, bpp)) return false;
        if (!ConvertRow(layout, current + 1, store.RowFromTop(static_cast<int32_t>(y))))
            return false;
        std::swap(current, previous);
    }
    return EndsCleanly(stream, chunks);
}

size_t PngBytesPerPixel(uint8_t colorType) {
    return BytesPerPixel(colorType);
}

bool UnfilterPngRow(uint8_t filter, uint8_t* row, const uint8_t* previous, size_t size,
                    size_t bytesPerPixel) {
    return UnfilterRow(filter, row, previous, size, bytesPerPixel);
}

bool ConvertPngRow(const PngLayout& layout, const uint8_t* samples, uint32_t* out) {
    return ConvertRow(layout, samples, out);
}

}  // namespace pic2pnm::codecs

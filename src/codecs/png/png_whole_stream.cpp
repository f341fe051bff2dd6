#include "codecs/png/png_whole_stream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/common/byte_order.h"
#include "codecs/common/codecs.h"
#include "codecs/png/png.h"
#include "codecs/png/png_library.h"

namespace pic2pnm::codecs {
namespace {

constexpr size_t SignatureBytes = 8;
constexpr uint32_t MaxChunkLength = 0x7FFFFFFF;  // the largest the format allows
// What we keep of each IDAT chunk to put it back takes 8 bytes. Encoders write from one to a
// few thousand; a file with more is left to the row decoder rather than held in 4 MiB more.
constexpr size_t MaxIdatChunks = size_t{1} << 19;

void WriteBigEndian32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

struct IdatChunk {
    uint32_t length = 0;
    uint32_t crc = 0;
};

// The IDAT chunks the row decoder reads: from the first one to the first chunk of another
// type, or to where no whole chunk follows.
struct IdatRun {
    size_t firstData = 0;  // where the first chunk's data starts in the file
    size_t count = 0;
    std::unique_ptr<IdatChunk[]> chunks;
};

// Counts the chunks of the run; false when a chunk before it does not fit in the file or
// there is no IDAT chunk.
bool CountIdatChunks(std::span<const uint8_t> file, size_t& firstData, size_t& count) {
    count = 0;
    for (size_t position = SignatureBytes; position + 12 <= file.size();) {
        const uint8_t* chunk = file.data() + position;
        const uint32_t length = ReadBe32(chunk);
        if (length > MaxChunkLength || length > file.size() - position - 12) break;
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0) {
            if (count == 0) firstData = position + 8;
            ++count;
        } else if (count > 0) {
            break;
        }
        position += size_t{12} + length;
    }
    return count > 0;
}

// Finds the run and checks every chunk's CRC; false on a wrong one or a run too long to keep.
bool FindIdatRun(std::span<const uint8_t> file, const DeflateLibrary& deflate, IdatRun& run) {
    if (!CountIdatChunks(file, run.firstData, run.count) || run.count > MaxIdatChunks) return false;
    run.chunks.reset(new (std::nothrow) IdatChunk[run.count]);
    if (run.chunks == nullptr) return false;
    size_t position = run.firstData - 8;
    for (size_t i = 0; i < run.count; ++i) {
        const uint8_t* chunk = file.data() + position;
        const uint32_t length = ReadBe32(chunk);
        const uint32_t crc = ReadBe32(chunk + 8 + length);
        if (deflate.Crc32(0, chunk + 4, size_t{4} + length) != crc) return false;
        run.chunks[i] = {length, crc};
        position += size_t{12} + length;
    }
    return true;
}

// The data of a run of IDAT chunks moved together behind the first chunk's data, for as long
// as this lives; then every chunk is put back where it was, headers and CRCs included.
class JoinedIdat {
  public:
    JoinedIdat(uint8_t* firstData, const IdatRun& run) : start_(firstData), run_(run) {
        size_t joined = run.chunks[0].length;
        uint8_t* from = start_ + joined;
        for (size_t i = 1; i < run.count; ++i) {
            from += 12;  // the CRC before, the header of this chunk
            const uint32_t length = run.chunks[i].length;
            std::memmove(start_ + joined, from, length);
            joined += length;
            from += length;
        }
        size_ = joined;
        end_ = from;
    }

    ~JoinedIdat() {
        // From the last chunk back: each one's data moves forward, past where the data of
        // the chunks before it still lie joined.
        uint8_t* dataEnd = end_;
        size_t joinedEnd = size_;
        for (size_t i = run_.count; i-- > 1;) {
            const IdatChunk& chunk = run_.chunks[i];
            uint8_t* data = dataEnd - chunk.length;
            joinedEnd -= chunk.length;
            std::memmove(data, start_ + joinedEnd, chunk.length);
            WriteBigEndian32(data + chunk.length, chunk.crc);
            WriteBigEndian32(data - 8, chunk.length);
            std::memcpy(data - 4, "IDAT", 4);
            dataEnd = data - 12;
        }
        WriteBigEndian32(start_ + run_.chunks[0].length, run_.chunks[0].crc);
    }

    JoinedIdat(const JoinedIdat&) = delete;
    JoinedIdat& operator=(const JoinedIdat&) = delete;

    const uint8_t* Data() const { return start_; }
    size_t Size() const { return size_; }

  private:
    uint8_t* start_;
    const IdatRun& run_;
    size_t size_ = 0;
    uint8_t* end_ = nullptr;  // the end of the last chunk's data in the file
};

struct DecompressorDeleter {
    const DeflateLibrary* deflate;
    void operator()(libdeflate_decompressor* decompressor) const {
        deflate->FreeDecompressor(decompressor);
    }
};

// Inflates the whole zlib stream into exactly `size` bytes at `out`; false unless the stream
// is whole, its checksum right, it fills `out` exactly and nothing follows it.
bool InflateExactly(const DeflateLibrary& deflate, const uint8_t* in, size_t inSize, uint8_t* out,
                    size_t size) {
    std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        deflate.AllocDecompressor(), DecompressorDeleter{&deflate});
    if (decompressor == nullptr) return false;
    size_t read = 0;
    size_t written = 0;
    const libdeflate_result result =
        deflate.ZlibDecompressEx(decompressor.get(), in, inSize, out, size, &read, &written);
    return result == LIBDEFLATE_SUCCESS && read == inSize && written == size;
}

// Turns the store's rows, written top row first, into its bottom-up order.
void PutRowsBottomUp(PixelStore& store) {
    const auto width = static_cast<size_t>(store.Width());
    uint32_t* top = store.Data();
    uint32_t* bottom = store.Data() + (static_cast<size_t>(store.Height()) - 1) * width;
    for (; top < bottom; top += width, bottom -= width) std::swap_ranges(top, top + width, bottom);
}

}  // namespace

bool IsWholeStreamPngLayout(const PngLayout& layout) {
    if (!IsDirectPngLayout(layout)) return false;
    // The filtered row fits in the store's row; in 64 bits, as the width is below 2^32.
    const uint64_t filteredRow = 1 + uint64_t{layout.width} * PngBytesPerPixel(layout.colorType);
    return filteredRow <= uint64_t{layout.width} * sizeof(uint32_t);
}

bool PngWholeStreamRearranges(FileView head, uint64_t fileSize) {
    // The signature, then IHDR: its length (13) and type, width, height, bit depth, colour
    // type, compression, filter and interlace method.
    constexpr size_t IhdrAt = SignatureBytes;
    constexpr size_t IhdrEnd = IhdrAt + 8 + 13;
    if (!LooksLikePng(head) || head.size() < IhdrEnd || ReadBe32(head, IhdrAt) != 13 ||
        std::memcmp(head.data() + IhdrAt + 4, "IHDR", 4) != 0)
        return false;
    PngLayout layout;
    layout.width = ReadBe32(head, IhdrAt + 8);
    layout.height = ReadBe32(head, IhdrAt + 12);
    layout.bitDepth = head[IhdrAt + 16];
    layout.colorType = head[IhdrAt + 17];
    layout.interlace = head[IhdrAt + 20];
    if (!IsWholeStreamPngLayout(layout)) return false;
    // Sides within the format's 2^31 - 1: 4 * width * height + 16 MiB stays below 2^64.
    if (layout.width > INT32_MAX || layout.height > INT32_MAX) return false;
    constexpr uint64_t Slack = uint64_t{16} << 20;
    return fileSize <= 4 * uint64_t{layout.width} * uint64_t{layout.height} + Slack;
}

bool DecodePngWholeStream(std::span<uint8_t> file, const PngLayout& layout, PixelStore& store) {
    if (!IsWholeStreamPngLayout(layout)) return false;
    if (store.Width() != static_cast<int32_t>(layout.width) ||
        store.Height() != static_cast<int32_t>(layout.height))
        return false;
    const DeflateLibrary* deflate = Deflate();
    if (deflate == nullptr) return false;
    IdatRun run;
    if (!FindIdatRun(file, *deflate, run)) return false;
    // Trailing empty chunks are something the row decoder refuses; so do we.
    if (run.chunks[run.count - 1].length == 0) return false;

    // The picture is below 2^31 bytes as 32-bit pixels: none of these products can wrap.
    const size_t width = layout.width;
    const size_t height = layout.height;
    const size_t bpp = PngBytesPerPixel(layout.colorType);
    const size_t samples = width * bpp;
    const size_t filteredRow = 1 + samples;
    const size_t storeRow = width * sizeof(uint32_t);
    if (filteredRow > storeRow) return false;
    auto* storeBytes = reinterpret_cast<uint8_t*>(store.Data());
    uint8_t* filtered = storeBytes + storeRow * height - filteredRow * height;

    std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[2 * filteredRow]());
    if (rows == nullptr) return false;
    uint8_t* current = rows.get();
    uint8_t* previous = rows.get() + filteredRow;
    {
        const JoinedIdat joined(file.data() + run.firstData, run);
        if (!InflateExactly(*deflate, joined.Data(), joined.Size(), filtered, filteredRow * height))
            return false;
    }
    for (size_t y = 0; y < height; ++y) {
        // Row y's filtered bytes are copied out before its pixels may cover them.
        std::memcpy(current, filtered + y * filteredRow, filteredRow);
        if (!UnfilterPngRow(current[0], current + 1, previous + 1, samples, bpp)) return false;
        if (!ConvertPngRow(layout, current + 1, store.Data() + y * width)) return false;
        std::swap(current, previous);
    }
    PutRowsBottomUp(store);
    return true;
}

}  // namespace pic2pnm::codecs

#include "codecs/png/png_skipped_chunks.h"

#include <algorithm>
#include <cstring>

#include "codecs/common/byte_order.h"

namespace pic2pnm::codecs {
namespace {

constexpr size_t SignatureBytes = 8;
constexpr size_t HeaderBytes = 8;  // length and type
constexpr size_t CrcBytes = 4;

bool IsSkipped(const uint8_t* type) {
    return std::memcmp(type, "tEXt", 4) == 0 || std::memcmp(type, "zTXt", 4) == 0 ||
           std::memcmp(type, "iTXt", 4) == 0 || std::memcmp(type, "iCCP", 4) == 0;
}

// The whole chunk starting at `at`, or 0 when its header is cut short or it runs past the end.
size_t WholeChunkBytes(FileView file, size_t at) {
    if (file.size() - at < HeaderBytes) return 0;
    const uint64_t bytes = uint64_t{ReadBe32(file.data() + at)} + HeaderBytes + CrcBytes;
    return bytes <= file.size() - at ? static_cast<size_t>(bytes) : 0;
}

}  // namespace

bool HasSkippedPngChunks(FileView file) {
    size_t at = SignatureBytes;
    while (at < file.size()) {
        const size_t bytes = WholeChunkBytes(file, at);
        if (bytes == 0) return false;
        if (IsSkipped(file.data() + at + 4)) return true;
        at += bytes;
    }
    return false;
}

size_t PngChunkFilter::Fill(uint8_t* destination, size_t length) {
    size_t done = 0;
    while (done < length && position_ < file_.size()) {
        if (position_ == nextChunk_) {
            const size_t bytes = WholeChunkBytes(file_, position_);
            if (bytes != 0 && IsSkipped(file_.data() + position_ + 4)) {
                position_ += bytes;
                nextChunk_ = position_;
                continue;
            }
            // An unskipped chunk, or one cut short: the rest passes unfiltered.
            nextChunk_ = bytes != 0 ? position_ + bytes : SIZE_MAX;
        }
        const size_t end = std::min(nextChunk_, file_.size());
        const size_t count = std::min(length - done, end - position_);
        std::memcpy(destination + done, file_.data() + position_, count);
        done += count;
        position_ += count;
    }
    return done;
}

int PngChunkFilter::Read(spng_ctx*, void* filter, void* destination, size_t length) {
    auto& self = *static_cast<PngChunkFilter*>(filter);
    return self.Fill(static_cast<uint8_t*>(destination), length) == length ? 0 : SPNG_IO_EOF;
}

}  // namespace pic2pnm::codecs

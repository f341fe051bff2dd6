#include "codecs/bmp/bmp_rle.h"

#include <algorithm>

#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs::bmp {
namespace {

// Escape codes that follow a zero count byte; larger values start an absolute run.
constexpr uint8_t EndOfLine = 0;
constexpr uint8_t EndOfBitmap = 1;
constexpr uint8_t Delta = 2;

// The write position, bottom row first. Positions can run far past the picture (each
// command moves at most 255 pixels, and the input bounds the number of commands), so
// 64-bit coordinates cannot overflow; writes outside the picture are dropped.
class RleCanvas {
  public:
    explicit RleCanvas(PixelStore& store) : store_(store) {}

    bool PastTop() const { return y_ >= store_.Height(); }
    void NextLine() {
        x_ = 0;
        ++y_;
    }
    void Move(uint8_t dx, uint8_t dy) {
        x_ += dx;
        y_ += dy;
    }

    // Writes `count` pixels starting at the current position and moves past them;
    // pixelAt(i) gives the colour of the i-th one.
    template <typename PixelAt>
    void Put(int64_t count, PixelAt pixelAt) {
        if (!PastTop() && x_ < store_.Width()) {
            int64_t visible = std::min<int64_t>(count, store_.Width() - x_);
            uint32_t* row = store_.RowFromBottom(static_cast<int32_t>(y_)) + x_;
            for (int64_t i = 0; i < visible; ++i) row[i] = pixelAt(i);
        }
        x_ += count;
    }

  private:
    PixelStore& store_;
    int64_t x_ = 0;
    int64_t y_ = 0;
};

}  // namespace

CodecResult DecodeRle(const DibHeader& header, const Palette& palette, FileView data,
                      PixelStore& store) {
    std::fill_n(store.Data(), store.PixelCount(), OpaqueBlack);
    bool fourBits = header.compression == DibCompression::Rle4;
    RleCanvas canvas(store);
    size_t pos = 0;
    const size_t size = data.size();
    while (!canvas.PastTop() && pos < size) {
        if (size - pos < 2) return Refuse("bmp: the run-length data ends inside a command");
        uint8_t count = data[pos];
        uint8_t value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            // Encoded run: one index repeated, or for 4 bits two indices alternating.
            uint32_t first = palette[fourBits ? value >> 4 : value];
            uint32_t second = palette[fourBits ? value & 0x0F : value];
            canvas.Put(count, [&](int64_t i) { return (i & 1) ? second : first; });
        } else if (value == EndOfLine) {
            canvas.NextLine();
        } else if (value == EndOfBitmap) {
            break;
        } else if (value == Delta) {
            if (size - pos < 2) return Refuse("bmp: the run-length data ends inside a command");
            canvas.Move(data[pos], data[pos + 1]);
            pos += 2;
        } else {
            // Absolute run of `value` indices, padded to a 16-bit boundary.
            size_t bytes = fourBits ? (size_t{value} + 1) / 2 : value;
            if (size - pos < bytes) return Refuse("bmp: the run-length data ends inside a command");
            const uint8_t* indices = data.data() + pos;
            if (fourBits) {
                canvas.Put(value, [&](int64_t i) {
                    uint8_t pair = indices[i / 2];
                    return palette[(i & 1) ? pair & 0x0F : pair >> 4];
                });
            } else {
                canvas.Put(value, [&](int64_t i) { return palette[indices[i]]; });
            }
            pos += bytes + (bytes & 1);  // the pad byte may be missing at the very end
        }
    }
    return Decoded;
}

}  // namespace pic2pnm::codecs::bmp

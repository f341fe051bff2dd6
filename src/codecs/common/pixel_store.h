// Pixel storage shared by GDI bitmaps and GDI+ images.
//
// Rows run bottom-up without gaps (element width * r + c is column c of row r counted from the
// bottom), one 32-bit value per pixel: blue in bits 0-7, green 8-15, red 16-23, alpha 24-31.
// Decoders write straight into it, so that a picture is held once. A picture decoded in a
// confined child stays in the child's memory until it is copied out where it is needed
// (CopyRowsFromBottom): held once there too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pic2pnm {

class HeldChild;  // runtime/confined_child.h

// The widest picture: the extraction works out a row of 32-bit pixels as
// (width * 32 + 31) / 32 * 4 bytes in signed 32-bit arithmetic.
inline constexpr int64_t MaxPictureWidth = (INT32_MAX - 31) / 32;

// True when a picture of this size can be held and copied out as 32-bit pixels:
// both sides at least 1, the width at most MaxPictureWidth, and 4 * width * height within
// the signed 32-bit range.
bool IsPictureSizeSupported(int64_t width, int64_t height);

class PixelStore {
  public:
    // Storage for width x height pixels, every pixel 0 (fresh memory from the operating
    // system or calloc costs nothing more to zero); null when the size is not supported or
    // memory runs out. Never throws.
    static std::shared_ptr<PixelStore> Allocate(int32_t width, int32_t height);
    // Width x height pixels at `address` in the memory of a held confined child; null when the
    // size is not supported or memory runs out.
    static std::shared_ptr<PixelStore> InChild(int32_t width, int32_t height,
                                               std::shared_ptr<const HeldChild> child,
                                               uint64_t address);

    ~PixelStore();
    PixelStore(const PixelStore&) = delete;
    PixelStore& operator=(const PixelStore&) = delete;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    size_t PixelCount() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
    // The pixels, here. Those of a store in a child are copied here the first time (null when
    // they cannot be read): code that reads a picture once copies it with CopyRowsFromBottom.
    uint32_t* Data() { return Local(); }
    const uint32_t* Data() const { return Local(); }
    // Row counted from the bottom (0 = bottom row).
    uint32_t* RowFromBottom(int32_t row) {
        return Local() + static_cast<size_t>(row) * static_cast<size_t>(width_);
    }
    // Row counted from the top (0 = top row), as most decoders produce them.
    uint32_t* RowFromTop(int32_t row) { return RowFromBottom(height_ - 1 - row); }

    // Whether the pixels are still in a child's memory.
    bool IsInChild() const { return child_ != nullptr; }
    // Copies `rows` rows from row `first` (counted from the bottom) to `out`, bottom row first,
    // straight from the child's memory for a store in a child; false when they cannot be read.
    bool CopyRowsFromBottom(int32_t first, int32_t rows, uint32_t* out) const;

  private:
    PixelStore(int32_t width, int32_t height, uint32_t* data)
        : width_(width), height_(height), data_(data) {}
    uint32_t* Local() const;

    int32_t width_;
    int32_t height_;
    mutable uint32_t* data_;  // null while the pixels are in the child
    mutable std::shared_ptr<const HeldChild> child_;
    uint64_t childAddress_ = 0;
};

// Called with the size each passing IsPictureSizeSupported check lets through, and each size
// StateDecodedSize tells: the sizes a file states, before its pixels are decoded. A decode
// child fits its address-space limit to the largest.
using StatedSizeObserver = void (*)(int64_t width, int64_t height);
void SetStatedSizeObserver(StatedSizeObserver observer);
// For a decoder whose library decodes more pixels than the picture shows (a cropped HEIF): the
// size it decodes, told to the observer above and to nothing else.
void StateDecodedSize(int64_t width, int64_t height);

}  // namespace pic2pnm

// Conversion of packed 16- and 32-bit pixels described by channel masks to our 32-bit pixels.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/bmp/bmp_dib_header.h"

namespace pic2pnm::codecs::bmp {

// One channel: the masked bits scaled to 0..255 as value * 255 / largest value, rounded to
// nearest, so that any contiguous mask width maps its extremes to 0 and 255.
class MaskedChannel {
  public:
    // `valueWithoutMask` is what a zero mask gives. False when memory runs out.
    bool Init(uint32_t mask, uint8_t valueWithoutMask);

    uint32_t Extract(uint32_t pixel) const {
        uint32_t value = (pixel & mask_) >> shift_;
        if (table_) return table_[value];
        if (largest_ == 0) return absent_;
        return static_cast<uint32_t>((uint64_t{value} * 255 + largest_ / 2) / largest_);
    }

  private:
    uint32_t mask_ = 0;
    int shift_ = 0;
    uint32_t largest_ = 0;
    uint8_t absent_ = 0;
    std::unique_ptr<uint8_t[]> table_;  // channels of up to 16 bits are looked up
};

class BitFieldConverter {
  public:
    // Masks must be contiguous (ParseDibHeader checks). False when memory runs out.
    bool Init(const ChannelMasks& masks);

    uint32_t Convert(uint32_t pixel) const {
        return blue_.Extract(pixel) | (green_.Extract(pixel) << 8) | (red_.Extract(pixel) << 16) |
               (alpha_.Extract(pixel) << 24);
    }

  private:
    MaskedChannel red_, green_, blue_, alpha_;
};

// The masks a 16-bit BI_RGB picture implies: 5 bits each, top bit unused.
inline constexpr ChannelMasks Rgb555Masks{0x7C00, 0x03E0, 0x001F, 0};
inline constexpr ChannelMasks Rgb565Masks{0xF800, 0x07E0, 0x001F, 0};

}  // namespace pic2pnm::codecs::bmp

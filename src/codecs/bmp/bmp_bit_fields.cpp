#include "codecs/bmp/bmp_bit_fields.h"

#include <bit>
#include <new>

namespace pic2pnm::codecs::bmp {

bool MaskedChannel::Init(uint32_t mask, uint8_t valueWithoutMask) {
    mask_ = mask;
    absent_ = valueWithoutMask;
    table_.reset();
    if (mask == 0) {
        shift_ = 0;
        largest_ = 0;
        return true;
    }
    shift_ = std::countr_zero(mask);
    largest_ = mask >> shift_;
    if (largest_ > 0xFFFF) return true;  // wider channels divide per pixel; they are rare
    table_.reset(new (std::nothrow) uint8_t[size_t{largest_} + 1]);
    if (!table_) return false;
    for (uint32_t value = 0; value <= largest_; ++value)
        table_[value] = static_cast<uint8_t>((uint64_t{value} * 255 + largest_ / 2) / largest_);
    return true;
}

bool BitFieldConverter::Init(const ChannelMasks& masks) {
    return red_.Init(masks.red, 0) && green_.Init(masks.green, 0) && blue_.Init(masks.blue, 0) &&
           alpha_.Init(masks.alpha, 0xFF);
}

}  // namespace pic2pnm::codecs::bmp

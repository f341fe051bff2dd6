// The value texts of the Netpbm writer. The decimal texts of the values 0 to 255 followed by
// one space ("0 " to "255 ") are made once at compile time, so that a pixel's text is a few
// register operations and no formatting.
#pragma once

#include <array>
#include <cstdint>

#include "output/short_text.h"

namespace pic2pnm {

struct ValueText {
    uint32_t characters;  // the digits and the space, first in the lowest byte, then zeros
    uint32_t length;      // 2 to 4
};

constexpr std::array<ValueText, 256> MakeValueTexts() {
    std::array<ValueText, 256> table{};
    for (uint32_t value = 0; value < 256; ++value) {
        ValueText& entry = table[value];
        uint32_t length = 0;
        auto put = [&](uint32_t character) { entry.characters |= character << (8 * length++); };
        if (value >= 100) put('0' + value / 100);
        if (value >= 10) put('0' + value / 10 % 10);
        put('0' + value % 10);
        put(' ');
        entry.length = length;
    }
    return table;
}

inline constexpr std::array<ValueText, 256> ValueTexts = MakeValueTexts();

inline const ValueText& ValueTextOf(int32_t value) {
    return ValueTexts[static_cast<uint8_t>(value)];
}

// "0 " for white, "1 " for black.
inline ShortText BitText(bool black) {
    ShortText text;
    text.low = uint64_t{'0'} + uint64_t{black} + (uint64_t{' '} << 8);
    text.length = 2;
    return text;
}

// The text of one value, from the low byte of `value`.
inline ShortText GreyText(int32_t value) {
    const ValueText& entry = ValueTextOf(value);
    ShortText text;
    text.low = entry.characters;
    text.length = entry.length;
    return text;
}

// The texts of three values, from the low bytes of `r`, `g` and `b`, one after the other.
inline ShortText TripleText(int32_t r, int32_t g, int32_t b) {
    const ValueText& red = ValueTextOf(r);
    const ValueText& green = ValueTextOf(g);
    const ValueText& blue = ValueTextOf(b);
    // Green and blue fill at most 8 characters, which follow red's 2 to 4, so both shifts
    // below stay between 16 and 48 bits.
    const uint64_t greenBlue = green.characters | uint64_t{blue.characters} << (8 * green.length);
    ShortText text;
    text.low = red.characters | greenBlue << (8 * red.length);
    text.high = greenBlue >> (64 - 8 * red.length);
    text.length = red.length + green.length + blue.length;
    return text;
}

}  // namespace pic2pnm

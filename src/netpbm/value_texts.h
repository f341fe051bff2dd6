// The decimal texts of the values 0 to 255 followed by one space ("0 " to "255 "), made once
// at compile time, so that a pixel's value text is a few copies and no formatting.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace pic2pnm {

struct ValueText {
    char text[4];    // the digits and a space, padded
    uint8_t length;  // 2 to 4
};

constexpr std::array<ValueText, 256> MakeValueTexts() {
    std::array<ValueText, 256> table{};
    for (int value = 0; value < 256; ++value) {
        ValueText& entry = table[static_cast<size_t>(value)];
        int length = 0;
        if (value >= 100) entry.text[length++] = static_cast<char>('0' + value / 100);
        if (value >= 10) entry.text[length++] = static_cast<char>('0' + value / 10 % 10);
        entry.text[length++] = static_cast<char>('0' + value % 10);
        entry.text[length++] = ' ';
        for (int i = length; i < 4; ++i) entry.text[i] = ' ';
        entry.length = static_cast<uint8_t>(length);
    }
    return table;
}

inline constexpr std::array<ValueText, 256> ValueTexts = MakeValueTexts();

// Appends the text of a value at `out` and returns the position after it. Copies four bytes
// whatever the length: the caller's buffer has room for them.
inline char* AppendValueText(char* out, int32_t value) {
    const ValueText& entry = ValueTexts[static_cast<uint8_t>(value)];
    std::memcpy(out, entry.text, 4);
    return out + entry.length;
}

}  // namespace pic2pnm

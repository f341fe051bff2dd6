#include "support/printable_line.h"

#include <cstdint>

namespace pic2pnm {
namespace {

// Length of the valid UTF-8 sequence of two bytes or more at `at`, 0 when there is none.
size_t MultiByteLength(std::string_view text, size_t at, char32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
    const uint8_t lead = byte(0);
    size_t length;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::string PrintableLine(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<uint8_t>(text[at]);
        if (lead < 0x80) {
            shown += lead < 0x20 || lead == 0x7F ? '?' : static_cast<char>(lead);
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        const size_t length = MultiByteLength(text, at, codePoint);
        if (length == 0 || codePoint <= 0x9F) {
            shown += '?';
            at += length == 0 ? 1 : length;
            continue;
        }
        shown.append(text, at, length);
        at += length;
    }
    return shown;
}

}  // namespace pic2pnm

// File names cross the GDI+ interface as UTF-16 and must come back as the same bytes: valid
// UTF-8 as its characters, every other byte as a lone surrogate U+DC80..U+DCFF.
#include "runtime/utf16_path.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace pic2pnm {
namespace {

std::string Hex(std::u16string_view text) {
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

std::string Hex(std::string_view bytes) {
    std::string out;
    char unit[8];
    for (char c : bytes) {
        std::snprintf(unit, sizeof unit, "%02X ", static_cast<unsigned>(static_cast<uint8_t>(c)));
        out += unit;
    }
    return out;
}

TEST(Utf16Path, RoundTripsFileNameBytes) {
    struct Case {
        const char* name;
        std::string path;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"empty", "", u""},
        {"ASCII", "dir/sub dir/picture.png", u"dir/sub dir/picture.png"},
        {"two-byte UTF-8", "caf\xC3\xA9.bmp", u"caf\u00E9.bmp"},
        {"three-byte UTF-8", "\xE2\x82\xAC\xE6\x97\xA5", u"\u20AC\u65E5"},
        {"four-byte UTF-8: a surrogate pair", "\xF0\x9F\x98\x80.gif", u"\xD83D\xDE00.gif"},
        {"highest code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
        {"Latin-1 byte, not UTF-8", "caf\xE9.bmp", u"caf\xDCE9.bmp"},
        {"bytes that never start UTF-8", "\xFF\xFE\x80", u"\xDCFF\xDCFE\xDC80"},
        {"sequence cut short", "a\xC3", u"a\xDCC3"},
        {"sequence cut short by ASCII", "\xE2\x82x", u"\xDCE2\xDC82x"},
        {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
        {"overlong three-byte", "\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},
        {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"five-byte lead", "\xF8\x88\x80\x80\x80", u"\xDCF8\xDC88\xDC80\xDC80\xDC80"},
        {"valid after invalid", "\xFF\xC3\xA9", u"\xDCFF\u00E9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string utf16 = PathToUtf16(c.path);
        EXPECT_EQ(utf16, c.utf16) << Hex(utf16);
        const std::string back = Utf16ToPath(utf16);
        EXPECT_EQ(back, c.path) << Hex(back);
    }
}

// Text that no file name produces: surrogates that are not a pair and are not escaped bytes
// become U+FFFD; escaped bytes come back as themselves.
TEST(Utf16Path, LoneSurrogatesFromOutside) {
    struct Case {
        const char* name;
        std::u16string utf16;
        std::string path;
    };
    const Case cases[] = {
        {"lone high surrogate",
         u"a\xD83D"
         u"b",
         "a\xEF\xBF\xBD"
         "b"},
        {"high surrogate at the end", u"a\xD800", "a\xEF\xBF\xBD"},
        {"lone low surrogate below the byte range", u"\xDC7F", "\xEF\xBF\xBD"},
        {"lone low surrogate above the byte range", u"\xDD00", "\xEF\xBF\xBD"},
        {"pair in the wrong order", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"two high surrogates, then a pair", u"\xD800\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {"escaped bytes at the range's ends", u"\xDC80\xDCFF", "\x80\xFF"},
        {"high surrogate then an escaped byte", u"\xD800\xDC80", "\xF0\x90\x82\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Utf16ToPath(c.utf16);
        EXPECT_EQ(path, c.path) << Hex(path);
    }
}

// Every byte alone: ASCII stays, every other byte is escaped and comes back.
TEST(Utf16Path, EverySingleByteRoundTrips) {
    for (int value = 1; value < 256; ++value) {
        const std::string path(1, static_cast<char>(value));
        const std::u16string utf16 = PathToUtf16(path);
        ASSERT_EQ(utf16.size(), 1u) << value;
        EXPECT_EQ(utf16[0], value < 0x80 ? value : 0xDC00 | value) << value;
        EXPECT_EQ(Utf16ToPath(utf16), path) << value;
    }
}

// Every code point but the surrogates, written as UTF-8 by hand, becomes its UTF-16 and back.
TEST(Utf16Path, EveryCodePointRoundTrips) {
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string utf8;
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
        std::u16string expected;
        if (c < 0x10000) {
            expected += static_cast<char16_t>(c);
        } else {
            expected += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            expected += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        const std::u16string utf16 = PathToUtf16(utf8);
        ASSERT_EQ(utf16, expected) << "U+" << std::hex << static_cast<uint32_t>(c);
        ASSERT_EQ(Utf16ToPath(utf16), utf8) << "U+" << std::hex << static_cast<uint32_t>(c);
    }
}

}  // namespace
}  // namespace pic2pnm

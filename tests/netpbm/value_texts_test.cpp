// The value texts of the Netpbm writer: every value's digits, the threshold texts, and the
// three values of a pixel put together in registers.
#include "netpbm/value_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pic2pnm {
namespace {

// The characters StoreAt writes, with everything past the text checked to be 0.
std::string Stored(const ShortText& text) {
    char room[ShortText::Room];
    std::memset(room, 'x', sizeof room);
    text.StoreAt(room);
    EXPECT_LE(text.length, ShortText::Room);
    for (size_t i = text.length; i < ShortText::Room; ++i)
        EXPECT_EQ(room[i], '\0') << "byte " << i << " past a text of " << text.length;
    return std::string(room, text.length);
}

TEST(ValueTextsTest, EveryValueIsItsDecimalDigitsAndASpace) {
    for (int32_t value = 0; value < 256; ++value) {
        SCOPED_TRACE(value);
        EXPECT_EQ(Stored(GreyText(value)), std::to_string(value) + " ");
        // Only the low byte counts, as for a pixel's components.
        EXPECT_EQ(Stored(GreyText(value + 0x1200)), std::to_string(value) + " ");
    }
    EXPECT_EQ(Stored(BitText(false)), "0 ");
    EXPECT_EQ(Stored(BitText(true)), "1 ");
}

TEST(ValueTextsTest, ThreeValuesFollowEachOtherForEveryLengthAndDigit) {
    // Every red and green value against blue values of each length; the joins depend only on
    // the lengths, the characters on the values.
    std::string digits[256];
    for (int32_t value = 0; value < 256; ++value) digits[value] = std::to_string(value) + " ";
    int failures = 0;
    for (int32_t r = 0; r < 256 && failures < 10; ++r) {
        for (int32_t g = 0; g < 256; ++g) {
            for (int32_t b : {0, 7, 10, 58, 99, 100, 173, 255}) {
                const ShortText text = TripleText(r, g, b);
                char room[ShortText::Room];
                text.StoreAt(room);
                const std::string expected = digits[r] + digits[g] + digits[b];
                if (text.length != expected.size() ||
                    std::memcmp(room, expected.data(), expected.size()) != 0 ||
                    room[text.length] != '\0') {
                    ADD_FAILURE() << r << " " << g << " " << b << ": got \""
                                  << std::string(room, text.length) << "\"";
                    ++failures;
                }
            }
        }
    }
    EXPECT_EQ(Stored(TripleText(255, 255, 255)), "255 255 255 ");
    EXPECT_EQ(Stored(TripleText(0, 0, 0)), "0 0 0 ");
}

}  // namespace
}  // namespace pic2pnm

// The JPEG XL header facts read before libjxl decodes: sizes, channels and the colour
// profile's size, from bare codestreams and containers, and nothing from headers cut short.
#include "codecs/jxl/jxl_headers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "helpers/codec_checks.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::AppendBe32;
using testing::ReadFileBytes;
using testing::TestData;

struct FactsCase {
    const char* file;  // under tests/data, or tests/resource with "../resource/"
    JxlHeaderFacts facts;
};

class JxlHeaderFactsTest : public ::testing::TestWithParam<FactsCase> {};

TEST_P(JxlHeaderFactsTest, ReadAsLibjxlReadsThem) {
    const JxlHeaderFacts& expected = GetParam().facts;
    JxlHeaderFacts facts;
    ASSERT_TRUE(ReadJxlHeaderFacts(ReadFileBytes(TestData(GetParam().file)), facts));
    EXPECT_EQ(facts.width, expected.width);
    EXPECT_EQ(facts.height, expected.height);
    EXPECT_EQ(facts.colourChannels, expected.colourChannels);
    EXPECT_EQ(facts.xybEncoded, expected.xybEncoded);
    EXPECT_EQ(facts.extraChannels, expected.extraChannels);
    EXPECT_EQ(facts.extraChannelPixels, expected.extraChannelPixels);
    EXPECT_EQ(facts.profileBytes, expected.profileBytes);
}

// libjxl stores a profile of n bytes as a stream of n + 8.
INSTANTIATE_TEST_SUITE_P(
    Files, JxlHeaderFactsTest,
    ::testing::Values(FactsCase{"jxl/lossy.jxl", {33, 20, 3, true, 0, 0, 0}},
                      FactsCase{"jxl/lossless-alpha.jxl", {33, 20, 3, false, 1, 660, 0}},
                      FactsCase{"jxl/grey.jxl", {33, 20, 1, false, 0, 0, 0}},
                      FactsCase{"../resource/jxl-grey-64x64-profile-4mib.jxl",
                                {64, 64, 1, false, 0, 0, (uint64_t{4} << 20) + 8}},
                      FactsCase{"../resource/jxl-grey-64x64-profile-100mib.jxl",
                                {64, 64, 1, false, 0, 0, (uint64_t{100} << 20) + 8}},
                      FactsCase{"../resource/jxl-grey-512x512-64-extra-channels.jxl",
                                {512, 512, 1, false, 64, 64 * 512 * 512, 0}},
                      FactsCase{"../resource/jxl-grey-2048x2048-lossy-1-extra-channel.jxl",
                                {2048, 2048, 1, true, 1, 2048 * 2048, 0}}),
    [](const auto& testCase) {
        std::string name = std::filesystem::path(testCase.param.file).stem().string();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

Bytes Box(const char* type, const Bytes& payload) {
    Bytes box;
    AppendBe32(box, static_cast<uint32_t>(8 + payload.size()));
    box.insert(box.end(), type, type + 4);
    box.insert(box.end(), payload.begin(), payload.end());
    return box;
}

Bytes Container(const std::vector<Bytes>& boxes) {
    Bytes file = {0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    for (const Bytes& box : boxes) file.insert(file.end(), box.begin(), box.end());
    return file;
}

// The codestream's part `from` to `to` in a jxlp box of index `index`.
Bytes Part(const Bytes& codestream, size_t from, size_t to, uint32_t index) {
    Bytes payload;
    AppendBe32(payload, index);
    payload.insert(payload.end(), codestream.begin() + from, codestream.begin() + to);
    return Box("jxlp", payload);
}

TEST(JxlHeaderFactsContainer, BoxesGiveTheFactsOfTheirCodestream) {
    const Bytes codestream = ReadFileBytes(TestData("../resource/jxl-grey-64x64-profile-4mib.jxl"));
    const size_t n = codestream.size();
    Bytes overlong = Container({Box("jxlc", codestream)});
    overlong[12 + 3] = 0xFF;  // the jxlc box's size, past the end
    std::vector<Bytes> bytePerPart;
    for (size_t i = 0; i < n; ++i) bytePerPart.push_back(Part(codestream, i, i + 1, 0));
    struct Case {
        const char* name;
        Bytes file;
        bool read;
    };
    const Case cases[] = {
        {"one jxlc box", Container({Box("ftyp", {'j', 'x', 'l', ' '}), Box("jxlc", codestream)}),
         true},
        {"parts split inside a field",
         Container({Part(codestream, 0, 5, 0), Box("Exif", {1, 2, 3}), Part(codestream, 5, n, 1)}),
         true},
        // More parts than any writer makes before the profile: refused rather than half read.
        {"a part for every byte", Container(bytePerPart), false},
        {"no codestream box", Container({Box("ftyp", {'j', 'x', 'l', ' '})}), false},
        {"a box longer than the file", overlong, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JxlHeaderFacts facts;
        ASSERT_EQ(ReadJxlHeaderFacts(c.file, facts), c.read);
        if (c.read) {
            EXPECT_EQ(facts.profileBytes, (uint64_t{4} << 20) + 8);
        }
    }
}

// Cut anywhere, the headers are refused or read whole: never a field read half.
TEST(JxlHeaderFactsBroken, EveryPrefixIsRefusedOrGivesTheFactsOfTheWhole) {
    for (const char* name : {"../resource/jxl-grey-64x64-profile-100mib.jxl",
                             "../resource/jxl-grey-512x512-64-extra-channels.jxl"}) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadFileBytes(TestData(name));
        JxlHeaderFacts expected;
        ASSERT_TRUE(ReadJxlHeaderFacts(whole, expected));
        size_t refused = 0;
        for (size_t length = 0; length < whole.size(); ++length) {
            JxlHeaderFacts facts;
            if (!ReadJxlHeaderFacts(Bytes(whole.begin(), whole.begin() + length), facts)) {
                ++refused;
                continue;
            }
            EXPECT_EQ(facts.profileBytes, expected.profileBytes) << length;
            EXPECT_EQ(facts.extraChannelPixels, expected.extraChannelPixels) << length;
        }
        EXPECT_GT(refused, 2u);  // at least the signature alone
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

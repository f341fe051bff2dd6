// The finisher turns interleaved 8-bit RGB(A) into the store's pixels: channel order, opaque
// alpha for RGB, rows from the top, RGBA finished in place, and sample arithmetic modulo 256.
#include "codecs/common/pixel_finisher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace pic2pnm::codecs {
namespace {

struct RowCase {
    const char* name;
    std::vector<uint8_t> samples;
    bool alpha;
    std::vector<uint32_t> expected;
};

const RowCase RowCases[] = {
    {"RGB, opaque", {0x11, 0x22, 0x33, 0xA0, 0xB0, 0xC0}, false, {0xFF112233, 0xFFA0B0C0}},
    {"RGBA keeps its alpha",
     {0x11, 0x22, 0x33, 0x00, 0xA0, 0xB0, 0xC0, 0x7F},
     true,
     {0x00112233, 0x7FA0B0C0}},
};

TEST(FinishRgb8Row, ChannelsInTheStoreOrder) {
    for (const RowCase& c : RowCases) {
        std::vector<uint32_t> out(c.expected.size(), 0xDEADBEEF);
        FinishRgb8Row(c.samples.data(), c.alpha, out.data(), out.size());
        EXPECT_EQ(out, c.expected) << c.name;
        if (!c.alpha) continue;
        std::vector<uint32_t> inPlace(out.size());  // the same bytes, finished where they lie
        std::memcpy(inPlace.data(), c.samples.data(), c.samples.size());
        FinishRgb8Row(reinterpret_cast<const uint8_t*>(inPlace.data()), true, inPlace.data(),
                      inPlace.size());
        EXPECT_EQ(inPlace, c.expected) << c.name << " in place";
    }
}

TEST(FinishRgb8Rows, TopRowFirstAcrossTheStride) {
    for (const bool alpha : {false, true}) {
        const size_t channels = alpha ? 4 : 3;
        const size_t stride = 2 * channels + 5;  // rows padded, as libraries pad them
        std::vector<uint8_t> plane(3 * stride, 0xEE);
        for (size_t y = 0; y < 3; ++y)
            for (size_t x = 0; x < 2; ++x)
                for (size_t c = 0; c < channels; ++c)
                    plane[y * stride + x * channels + c] = static_cast<uint8_t>(16 * y + 4 * x + c);
        auto store = PixelStore::Allocate(2, 3);
        ASSERT_NE(store, nullptr);
        FinishRgb8Rows(plane.data(), stride, alpha, *store);
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 2; ++x) {
                const uint32_t first = static_cast<uint32_t>(16 * y + 4 * x);
                const uint32_t a = alpha ? first + 3 : 0xFF;
                EXPECT_EQ(store->RowFromTop(y)[x],
                          a << 24 | first << 16 | (first + 1) << 8 | (first + 2))
                    << "alpha " << alpha << " row " << y << " column " << x;
            }
    }
}

struct PackCase {
    uint32_t r, g, b, a, expected;
};

TEST(PackPixel, SamplesModulo256) {
    const PackCase cases[] = {
        {0x12, 0x34, 0x56, 0x78, 0x78123456},
        {0x101, 0x1FF, 0xFFFFFFFF, 0xFF, 0xFF01FFFF},  // sums and differences that wrapped
    };
    for (const PackCase& c : cases)
        EXPECT_EQ(PackPixel(c.r, c.g, c.b, c.a), c.expected) << std::hex << c.r << " " << c.g;
}

}  // namespace
}  // namespace pic2pnm::codecs

// Whole-picture memory: every size comes back zeroed and usable to its last byte, whichever
// way it is provided, and sizes no machine can give are refused instead of wrapping around.
#include "runtime/large_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace pic2pnm {
namespace {

TEST(LargeMemoryTest, BlocksOfEverySizeAreZeroedAndUsableToTheLastByte) {
    constexpr size_t KiB = 1024;
    constexpr size_t MiB = 1024 * KiB;
    for (size_t bytes : {size_t{0}, size_t{1}, 64 * KiB - 1, 64 * KiB, 64 * KiB + 1, 2 * MiB - 1,
                         2 * MiB, 2 * MiB + 1, 5 * MiB + 3}) {
        SCOPED_TRACE(bytes);
        // Two at once, so that a block handed out twice or overlapping another shows up.
        auto* first = static_cast<uint8_t*>(AllocateLargeZeroed(bytes));
        auto* second = static_cast<uint8_t*>(AllocateLargeZeroed(bytes));
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        EXPECT_NE(first, second);
        for (size_t i = 0; i < bytes; i += 4093) EXPECT_EQ(first[i], 0) << i;
        if (bytes > 0) {
            EXPECT_EQ(first[bytes - 1], 0);
            EXPECT_EQ(second[bytes - 1], 0);
            std::memset(first, 0xA5, bytes);
            std::memset(second, 0x5A, bytes);
            EXPECT_EQ(first[bytes - 1], 0xA5);
            EXPECT_EQ(first[0], 0xA5);
            EXPECT_EQ(second[0], 0x5A);
        }
        FreeLarge(first, bytes);
        FreeLarge(second, bytes);
    }
}

// A block given back stays mapped for the next request: whatever its old bytes, the next
// block comes back zeroed to its last byte, smaller, as large or larger than the one given
// back, and a block grown in the meantime keeps its own bytes.
TEST(LargeMemoryTest, ReusedBlocksComeBackZeroed) {
    constexpr size_t MiB = size_t{1} << 20;
    const struct {
        const char* name;
        size_t givenBack;
        size_t asked;
    } cases[] = {
        {"smaller", 7 * MiB + 5, 3 * MiB},
        {"same size", 4 * MiB, 4 * MiB},
        {"larger", 3 * MiB + 1, 9 * MiB + 7},
        {"small after mapped", 4 * MiB, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* old = static_cast<uint8_t*>(AllocateLargeZeroed(c.givenBack));
        ASSERT_NE(old, nullptr);
        std::memset(old, 0xA5, c.givenBack);
        FreeLarge(old, c.givenBack);
        auto* fresh = static_cast<uint8_t*>(AllocateLargeZeroed(c.asked));
        ASSERT_NE(fresh, nullptr);
        for (size_t i = 0; i < c.asked; i += 509) ASSERT_EQ(fresh[i], 0) << i;
        EXPECT_EQ(fresh[c.asked - 1], 0);
        std::memset(fresh, 0x5A, c.asked);

        // Grown while the block above waits to be reused.
        auto* growing = static_cast<uint8_t*>(AllocateLargeZeroed(2 * MiB));
        ASSERT_NE(growing, nullptr);
        std::memset(growing, 0x3C, 2 * MiB);
        FreeLarge(fresh, c.asked);
        auto* grown = static_cast<uint8_t*>(GrowLargeZeroed(growing, 2 * MiB, 5 * MiB, 2 * MiB));
        ASSERT_NE(grown, nullptr);
        EXPECT_EQ(grown[0], 0x3C);
        EXPECT_EQ(grown[2 * MiB - 1], 0x3C);
        EXPECT_EQ(grown[2 * MiB], 0);
        EXPECT_EQ(grown[5 * MiB - 1], 0);
        FreeLarge(grown, 5 * MiB);
        ReleaseKeptBlock();
    }
}

TEST(LargeMemoryTest, ImpossibleSizesAreRefused) {
    for (size_t bytes : {SIZE_MAX, SIZE_MAX - 1, SIZE_MAX - (size_t{3} << 20)}) {
        SCOPED_TRACE(bytes);
        void* block = AllocateLargeZeroed(bytes);
        EXPECT_EQ(block, nullptr);
        FreeLarge(block, bytes);  // giving back nothing is harmless
    }
}

// A LargeBlock owns its memory alone: moving hands it over and leaves the source empty, and an
// impossible size leaves the block empty rather than holding a size without memory.
TEST(LargeMemoryTest, LargeBlockOwnershipMovesWithTheBlock) {
    const struct {
        const char* name;
        size_t bytes;
        bool allocated;
    } cases[] = {
        {"empty request", 0, true},
        {"small block", 100, true},
        {"mapped block", size_t{3} << 20, true},
        {"impossible size", SIZE_MAX, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LargeBlock block(c.bytes);
        EXPECT_EQ(block.Data() != nullptr, c.allocated);
        EXPECT_EQ(block.Size(), c.allocated ? c.bytes : 0);
        void* const memory = block.Data();
        LargeBlock moved(std::move(block));
        EXPECT_EQ(moved.Data(), memory);
        EXPECT_EQ(block.Data(), nullptr);
        EXPECT_EQ(block.Size(), 0u);
        LargeBlock assigned(16);
        assigned = std::move(moved);
        EXPECT_EQ(assigned.Data(), memory);
        EXPECT_EQ(assigned.Size(), c.allocated ? c.bytes : 0);
        EXPECT_EQ(moved.Data(), nullptr);
    }
}

}  // namespace
}  // namespace pic2pnm

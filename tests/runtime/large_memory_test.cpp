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

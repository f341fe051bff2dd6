// The whole-stream PNG path against the row decoder: the layouts it takes must come out
// pixel for pixel as the row decoder gives them, whatever the IDAT chunks look like; what
// it gives up on must leave the file's bytes exactly as they were, for the decoders after it.
#include "codecs/png/png_whole_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "helpers/png_files.h"

namespace pic2pnm::codecs {
namespace {

using testing::Chunk;
using testing::Ihdr;
using testing::Png;
using testing::PngBytes;
using testing::Zlib;

size_t Channels(uint8_t colorType) {
    switch (colorType) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;
    }
}

// Random filtered rows; indices stay within a palette of 256.
PngBytes RandomRows(std::mt19937& random, uint32_t width, uint32_t height, uint8_t colorType) {
    PngBytes raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(static_cast<uint8_t>(random() % 5));
        for (size_t i = 0; i < width * Channels(colorType); ++i)
            raw.push_back(static_cast<uint8_t>(random()));
    }
    return raw;
}

PngLayout LayoutOf(uint32_t width, uint32_t height, uint8_t colorType) {
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.bitDepth = 8;
    layout.colorType = colorType;
    layout.paletteEntries = 256;
    for (uint32_t i = 0; i < 256; ++i) layout.palette[i] = 0xFF000000u | i * 0x010203u;
    return layout;
}

// The IDAT chunks of a zlib stream cut into pieces of these sizes (the last piece takes the
// rest); a size of 0 is an empty chunk.
PngBytes PngWithIdatPieces(const PngLayout& layout, const PngBytes& stream,
                           const std::vector<size_t>& pieces) {
    std::vector<PngBytes> chunks = {Ihdr(layout.width, layout.height, 8, layout.colorType, false)};
    size_t at = 0;
    for (size_t piece : pieces) {
        const size_t end = std::min(stream.size(), at + piece);
        chunks.push_back(Chunk("IDAT", PngBytes(stream.begin() + static_cast<long>(at),
                                                stream.begin() + static_cast<long>(end))));
        at = end;
    }
    chunks.push_back(Chunk("IDAT", PngBytes(stream.begin() + static_cast<long>(at), stream.end())));
    return Png(chunks);
}

// Decodes `file` whole and expects it taken (or not) and the file unchanged afterwards; when
// taken, the pixels are the row decoder's.
void ExpectWholeStream(const PngBytes& file, const PngLayout& layout, bool taken) {
    auto whole = PixelStore::Allocate(static_cast<int32_t>(layout.width),
                                      static_cast<int32_t>(layout.height));
    auto rows = PixelStore::Allocate(static_cast<int32_t>(layout.width),
                                     static_cast<int32_t>(layout.height));
    ASSERT_NE(whole, nullptr);
    ASSERT_NE(rows, nullptr);
    PngBytes copy = file;
    ASSERT_EQ(DecodePngWholeStream(copy, layout, *whole), taken);
    EXPECT_EQ(copy, file) << "the file's bytes were left changed";
    if (!taken) return;
    ASSERT_TRUE(DecodePngRowsDirect(FileView(file.data(), file.size()), layout, *rows));
    for (size_t i = 0; i < whole->PixelCount(); ++i) {
        if (whole->Data()[i] != rows->Data()[i]) {
            ADD_FAILURE() << "pixel " << i << ": " << std::hex << whole->Data()[i] << " against "
                          << rows->Data()[i];
            return;
        }
    }
}

TEST(PngWholeStream, TakesTheLayoutsWhoseFilteredRowsFitInTheStore) {
    struct Case {
        const char* name;
        uint8_t colorType;
        uint32_t width;
        uint32_t height;
        bool taken;
    };
    const std::vector<Case> cases = {
        {"grey, one column", 0, 1, 5, true},
        {"grey and alpha, one column", 4, 1, 5, true},
        // 1 + 3 bytes: the filtered row is exactly as long as the store's row.
        {"RGB, one column", 2, 1, 5, true},
        {"RGB, one row", 2, 33, 1, true},
        {"RGB", 2, 31, 17, true},
        {"palette", 3, 13, 11, true},
        {"grey and alpha", 4, 64, 3, true},
        // 1 + 4 * W bytes a row: one byte a row longer than the store's row.
        {"RGBA", 6, 8, 8, false},
        {"RGBA, one column", 6, 1, 4, false},
    };
    std::mt19937 random(16);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PngLayout layout = LayoutOf(c.width, c.height, c.colorType);
        EXPECT_EQ(IsWholeStreamPngLayout(layout), c.taken);
        const PngBytes stream = Zlib(RandomRows(random, c.width, c.height, c.colorType));
        ExpectWholeStream(PngWithIdatPieces(layout, stream, {}), layout, c.taken);
    }
}

// Only a file the whole-stream decoder may rearrange, and no larger than its picture would be
// in memory, is worth reading rather than mapping.
TEST(PngWholeStream, TellsFromTheHeadWhetherTheFileIsRearranged) {
    struct Case {
        const char* name;
        PngBytes head;
        uint64_t fileSize;
        bool rearranged;
    };
    const auto head = [](uint8_t depth, uint8_t colorType, bool interlaced) {
        return Png({Ihdr(1000, 500, depth, colorType, interlaced)});
    };
    constexpr uint64_t bound = 4 * 1000 * 500 + (uint64_t{16} << 20);
    PngBytes longIhdr = head(8, 2, false);
    longIhdr[11] = 14;
    PngBytes notIhdr = head(8, 2, false);
    notIhdr[12] = 'i';
    PngBytes cut = head(8, 2, false);
    cut.resize(28);  // the interlace byte missing
    const std::vector<Case> cases = {
        {"RGB", head(8, 2, false), 100000, true},
        {"grey", head(8, 0, false), 100000, true},
        {"palette", head(8, 3, false), 100000, true},
        {"as large as its picture", head(8, 2, false), bound, true},
        {"larger than its picture", head(8, 2, false), bound + 1, false},
        {"RGBA", head(8, 6, false), 100000, false},
        {"interlaced", head(8, 2, true), 100000, false},
        {"16 bits", head(16, 2, false), 100000, false},
        {"IHDR of another length", longIhdr, 100000, false},
        {"another chunk first", notIhdr, 100000, false},
        {"cut within IHDR", cut, 100000, false},
        {"no PNG", PngBytes(40, 'x'), 100000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PngWholeStreamRearranges(FileView(c.head.data(), c.head.size()), c.fileSize),
                  c.rearranged);
    }
}

TEST(PngWholeStream, LeavesWhatTheRowDecoderLeaves) {
    struct Case {
        const char* name;
        uint8_t bitDepth;
        uint8_t interlace;
    };
    const std::vector<Case> cases = {
        {"16 bits", 16, 0},
        {"4 bits", 4, 0},
        {"interlaced", 8, 1},
    };
    for (const Case& c : cases) {
        PngLayout layout = LayoutOf(4, 4, 2);
        layout.bitDepth = c.bitDepth;
        layout.interlace = c.interlace;
        EXPECT_FALSE(IsWholeStreamPngLayout(layout)) << c.name;
    }
}

TEST(PngWholeStream, JoinsAnyCutOfTheIdatChunksAndPutsThemBack) {
    struct Case {
        const char* name;
        std::vector<size_t> pieces;
    };
    std::vector<size_t> bytes(200, 1);
    std::vector<size_t> withEmpty;
    for (int i = 0; i < 30; ++i) withEmpty.insert(withEmpty.end(), {0, 7});
    const std::vector<Case> cases = {
        {"one chunk", {}},
        {"two chunks", {100}},
        {"uneven pieces", {1, 250, 3, 64}},
        {"a byte a chunk", bytes},
        {"empty chunks between", withEmpty},
        {"empty first chunk", {0}},
    };
    std::mt19937 random(1207);
    const PngLayout layout = LayoutOf(23, 19, 2);
    const PngBytes stream = Zlib(RandomRows(random, layout.width, layout.height, 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectWholeStream(PngWithIdatPieces(layout, stream, c.pieces), layout, true);
    }
}

TEST(PngWholeStream, GivesUpOnDamageAndLeavesTheFileAsItWas) {
    std::mt19937 random(99);
    const PngLayout layout = LayoutOf(6, 4, 2);
    const PngBytes raw = RandomRows(random, layout.width, layout.height, 2);
    const PngBytes stream = Zlib(raw);
    const PngBytes ihdr = Ihdr(layout.width, layout.height, 8, 2, false);
    const size_t rowBytes = 1 + layout.width * 3;

    auto changed = [](PngBytes bytes, auto change) {
        change(bytes);
        return bytes;
    };
    struct Case {
        const char* name;
        PngBytes file;
    };
    const std::vector<Case> cases = {
        {"checksum wrong",
         PngWithIdatPieces(layout, changed(stream, [](PngBytes& s) { s.back() ^= 1; }), {9})},
        {"checksum missing",
         PngWithIdatPieces(layout, changed(stream, [](PngBytes& s) { s.resize(s.size() - 4); }),
                           {9})},
        {"stream cut short",
         PngWithIdatPieces(layout, changed(stream, [](PngBytes& s) { s.resize(s.size() - 10); }),
                           {9})},
        {"bytes after the stream", PngWithIdatPieces(layout,
                                                     changed(stream,
                                                             [](PngBytes& s) {
                                                                 s.insert(s.end(), {1, 2, 3});
                                                             }),
                                                     {9})},
        {"one row too many", PngWithIdatPieces(layout,
                                               Zlib(changed(raw,
                                                            [&](PngBytes& r) {
                                                                r.insert(r.end(), raw.begin(),
                                                                         raw.begin() + rowBytes);
                                                            })),
                                               {9})},
        {"one row too few",
         PngWithIdatPieces(layout, Zlib(PngBytes(raw.begin(), raw.end() - rowBytes)), {9})},
        {"filter type 5",
         PngWithIdatPieces(layout, Zlib(changed(raw, [&](PngBytes& r) { r[rowBytes * 2] = 5; })),
                           {9})},
        {"an empty IDAT after the stream", Png({ihdr, Chunk("IDAT", stream), Chunk("IDAT", {})})},
        {"a wrong CRC in the second chunk",
         changed(PngWithIdatPieces(layout, stream, {9}),
                 [&](PngBytes& f) { f[8 + ihdr.size() + 12 + 9 + 12] ^= 0x40; })},
        {"second half missing",
         Png({ihdr, Chunk("IDAT", PngBytes(stream.begin(), stream.begin() + 20))})},
        {"no IDAT", Png({ihdr})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectWholeStream(c.file, layout, false);
    }

    // Indices past a palette of 4 entries.
    PngLayout indexed = LayoutOf(layout.width, layout.height, 3);
    indexed.paletteEntries = 4;
    PngBytes indices;
    for (uint32_t y = 0; y < indexed.height; ++y) {
        indices.push_back(0);
        for (uint32_t x = 0; x < indexed.width; ++x) indices.push_back(static_cast<uint8_t>(x + y));
    }
    SCOPED_TRACE("palette index past the palette");
    ExpectWholeStream(PngWithIdatPieces(indexed, Zlib(indices), {5}), indexed, false);
}

}  // namespace
}  // namespace pic2pnm::codecs

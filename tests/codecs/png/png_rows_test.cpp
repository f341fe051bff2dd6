// Our own PNG row decoder against libspng: for every layout it takes, every filter and every
// kind of damage, both ways must give the same outcome and the same pixels. Damage that the
// row decoder gives up on must still reach libspng's verdict.
#include "codecs/png/png_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "codecs/png/png.h"
#include "codecs/png/png_path.h"
#include "helpers/codec_checks.h"
#include "helpers/png_files.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

namespace fs = std::filesystem;
using testing::AppendBe32;
using testing::Chunk;
using testing::Ihdr;
using testing::Png;
using testing::PngBytes;
using testing::Zlib;

void ExpectSamePicture(const DecodedPicture& direct, const DecodedPicture& library) {
    EXPECT_EQ(direct.width, library.width);
    EXPECT_EQ(direct.height, library.height);
    EXPECT_EQ(direct.source, library.source);
    EXPECT_EQ(direct.dpiX, library.dpiX);
    EXPECT_EQ(direct.dpiY, library.dpiY);
    ASSERT_NE(direct.pixels, nullptr);
    ASSERT_NE(library.pixels, nullptr);
    const size_t count = direct.pixels->PixelCount();
    ASSERT_EQ(count, library.pixels->PixelCount());
    for (size_t i = 0; i < count; ++i) {
        if (direct.pixels->Data()[i] != library.pixels->Data()[i]) {
            ADD_FAILURE() << "pixel " << i << ": " << std::hex << direct.pixels->Data()[i]
                          << " against " << library.pixels->Data()[i];
            return;
        }
    }
}

// Decodes `file` every way (the row decoder, the whole stream in place, libspng alone) and
// expects the same status and, when it decodes, the same picture to the last pixel; the file
// decoded in place must be as it was afterwards.
void ExpectBothWaysAlike(const PngBytes& file, const std::string& what) {
    SCOPED_TRACE(what);
    const FileView view(file.data(), file.size());
    DecodedPicture direct;
    DecodedPicture library;
    const CodecResult directStatus =
        DecodePngUsing(view, DefaultDecodeLimits, direct, PngRowPath::DirectFirst);
    const CodecResult libraryStatus =
        DecodePngUsing(view, DefaultDecodeLimits, library, PngRowPath::Library);
    ASSERT_EQ(directStatus.status, libraryStatus.status);
    PngBytes copy = file;
    DecodedPicture inPlace;
    const CodecResult inPlaceStatus = DecodePngInPlace(copy, DefaultDecodeLimits, inPlace);
    EXPECT_EQ(copy, file) << "the file decoded in place was left changed";
    ASSERT_EQ(inPlaceStatus.status, libraryStatus.status);
    if (!directStatus.IsOk()) return;
    ExpectSamePicture(direct, library);
    ExpectSamePicture(inPlace, library);
}

size_t Channels(uint8_t colorType) {
    switch (colorType) {
        case 2: return 3;
        case 4: return 2;
        case 6: return 4;
        default: return 1;
    }
}

// Rows of random bytes behind random filter types: any bytes are valid filtered data, so this
// reaches every filter with every kind of neighbour.
PngBytes RandomRows(std::mt19937& random, uint32_t width, uint32_t height, uint8_t colorType,
                    uint32_t paletteEntries) {
    PngBytes raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(static_cast<uint8_t>(random() % 5));
        for (size_t i = 0; i < width * Channels(colorType); ++i) {
            // Indexed rows stay inside the palette unless filtered (filters move them anyway).
            raw.push_back(static_cast<uint8_t>(colorType == 3 && raw[raw.size() - 1 - i] == 0
                                                   ? random() % paletteEntries
                                                   : random()));
        }
    }
    return raw;
}

PngBytes Palette(uint32_t entries) {
    PngBytes body;
    for (uint32_t i = 0; i < entries; ++i)
        body.insert(body.end(), {static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>(i * 13)});
    return Chunk("PLTE", body);
}

struct Layout {
    const char* name;
    uint8_t colorType;
    PngBytes extra;  // chunks between IHDR and IDAT
};

std::vector<Layout> Layouts() {
    PngBytes greyKey, rgbKey, paletteAlpha;
    greyKey = {0, 77};
    rgbKey = {0, 10, 0, 20, 0, 30};
    // Bits above the depth should be 0; files that set them must still decode alike.
    const PngBytes greyKeyHighBits = {0x01, 77};
    const PngBytes rgbKeyHighBits = {0, 10, 0xFE, 20, 0, 30};
    for (int i = 0; i < 100; ++i) paletteAlpha.push_back(static_cast<uint8_t>(i * 2));
    return {
        {"grey", 0, {}},
        {"grey with a transparent value", 0, Chunk("tRNS", greyKey)},
        {"RGB", 2, {}},
        {"RGB with a transparent colour", 2, Chunk("tRNS", rgbKey)},
        {"grey, transparent value with high bits", 0, Chunk("tRNS", greyKeyHighBits)},
        {"RGB, transparent colour with high bits", 2, Chunk("tRNS", rgbKeyHighBits)},
        {"grey and alpha", 4, {}},
        {"RGBA", 6, {}},
        {"palette", 3, Palette(256)},
        {"palette of 200 with alpha for 100", 3,
         [&] {
             PngBytes both = Palette(200);
             const PngBytes trns = Chunk("tRNS", paletteAlpha);
             both.insert(both.end(), trns.begin(), trns.end());
             return both;
         }()},
    };
}

TEST(PngRows, EveryLayoutAndFilterDecodesAsLibspngDoes) {
    std::mt19937 random(20261207);
    for (const Layout& layout : Layouts()) {
        for (uint32_t width : {1u, 2u, 3u, 5u, 17u, 64u}) {
            for (uint32_t height : {1u, 2u, 7u}) {
                const uint32_t entries = layout.colorType == 3 ? 200 : 0;
                PngBytes raw = RandomRows(random, width, height, layout.colorType, entries);
                const PngBytes file = Png({Ihdr(width, height, 8, layout.colorType, false),
                                           layout.extra, Chunk("IDAT", Zlib(raw))});
                ExpectBothWaysAlike(file, std::string(layout.name) + " " + std::to_string(width) +
                                              "x" + std::to_string(height));
            }
        }
    }
}

TEST(PngRows, TransparentValuesMatchAsLibspngMatchesThem) {
    // Unfiltered rows where every other pixel is the tRNS value's low byte(s). libspng
    // matches an RGB value on the low bytes but a grey value whole.
    struct Case {
        const char* name;
        uint8_t colorType;
        PngBytes trns;
        PngBytes keyPixel;
        bool keyIsTransparent;
    };
    const std::vector<Case> cases = {
        {"grey", 0, {0, 77}, {77}, true},
        {"grey, high bits set", 0, {0x01, 77}, {77}, false},
        {"RGB", 2, {0, 10, 0, 20, 0, 30}, {10, 20, 30}, true},
        {"RGB, high bits set", 2, {0x80, 10, 0xFE, 20, 0x01, 30}, {10, 20, 30}, true},
    };
    for (const Case& c : cases) {
        const uint32_t width = 8, height = 3;
        PngBytes raw;
        for (uint32_t y = 0; y < height; ++y) {
            raw.push_back(0);
            for (uint32_t x = 0; x < width; ++x) {
                for (uint8_t sample : c.keyPixel)
                    raw.push_back(static_cast<uint8_t>(x % 2 == 0 ? sample : sample + x));
            }
        }
        const PngBytes file = Png({Ihdr(width, height, 8, c.colorType, false),
                                   Chunk("tRNS", c.trns), Chunk("IDAT", Zlib(raw))});
        ExpectBothWaysAlike(file, c.name);
        DecodedPicture picture;
        ASSERT_EQ(DecodePngUsing(FileView(file.data(), file.size()), DefaultDecodeLimits, picture,
                                 PngRowPath::DirectFirst),
                  CodecStatus::Ok);
        EXPECT_EQ(picture.pixels->Data()[0] >> 24, c.keyIsTransparent ? 0u : 255u) << c.name;
        EXPECT_EQ(picture.pixels->Data()[1] >> 24, 255u) << c.name;
    }
}

// Paeth neighbours that tie, a different tie in each sample of a pixel: the format takes a
// before b before c. The second row's second pixel is filtered as 0, so it decodes to the
// predictor itself; its left neighbour a is given through the first pixel, whose own
// predictor is the c above it.
TEST(PngRows, PaethTiesGoAsTheFormatOrdersThem) {
    struct Neighbours {
        const char* name;
        uint8_t a, b, c;
    };
    const std::vector<Neighbours> ties = {
        {"pb = pc < pa: b", 110, 80, 100}, {"pa = pb < pc: a", 110, 110, 100},
        {"pa = pc < pb: a", 80, 110, 100}, {"all equal: a", 100, 100, 100},
        {"pc smallest: c", 150, 60, 100},
    };
    for (uint8_t colorType : {uint8_t{2}, uint8_t{6}}) {
        const size_t channels = Channels(colorType);
        for (size_t turn = 0; turn < ties.size(); ++turn) {
            PngBytes upper = {0}, lower = {4};
            for (size_t k = 0; k < channels; ++k) upper.push_back(ties[(turn + k) % 5].c);
            for (size_t k = 0; k < channels; ++k) upper.push_back(ties[(turn + k) % 5].b);
            for (size_t k = 0; k < channels; ++k) {
                const Neighbours& n = ties[(turn + k) % 5];
                lower.push_back(static_cast<uint8_t>(n.a - n.c));
            }
            lower.insert(lower.end(), channels, 0);
            PngBytes raw = upper;
            raw.insert(raw.end(), lower.begin(), lower.end());
            const PngBytes file = Png({Ihdr(2, 2, 8, colorType, false), Chunk("IDAT", Zlib(raw))});
            ExpectBothWaysAlike(file, std::string(ties[turn].name) + " first, " +
                                          (colorType == 2 ? "RGB" : "RGBA"));
        }
    }
}

TEST(PngRows, TheRowDecoderTakesTheCommonLayoutsItself) {
    // Opaque RGB, every filter: DecodePngRowsDirect must not leave these to libspng.
    std::mt19937 random(7);
    const uint32_t width = 9, height = 10;
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.bitDepth = 8;
    layout.colorType = 2;
    ASSERT_TRUE(IsDirectPngLayout(layout));
    const PngBytes file = Png({Ihdr(width, height, 8, 2, false),
                               Chunk("IDAT", Zlib(RandomRows(random, width, height, 2, 0)))});
    auto store = PixelStore::Allocate(width, height);
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(DecodePngRowsDirect(FileView(file.data(), file.size()), layout, *store));

    PngLayout other = layout;
    other.bitDepth = 16;
    EXPECT_FALSE(IsDirectPngLayout(other));
    other = layout;
    other.interlace = 1;
    EXPECT_FALSE(IsDirectPngLayout(other));
    other = layout;
    other.bitDepth = 4;
    other.colorType = 3;
    EXPECT_FALSE(IsDirectPngLayout(other));
}

TEST(PngRows, DamagedStreamsReachTheSameVerdict) {
    std::mt19937 random(99);
    const uint32_t width = 6, height = 4;
    const PngBytes raw = RandomRows(random, width, height, 2, 0);
    const PngBytes ihdr = Ihdr(width, height, 8, 2, false);
    const PngBytes stream = Zlib(raw);

    auto idatSplitEvery = [&](size_t step, bool withEmpty) {
        std::vector<PngBytes> chunks = {ihdr};
        for (size_t at = 0; at < stream.size(); at += step) {
            if (withEmpty) chunks.push_back(Chunk("IDAT", {}));
            const size_t end = std::min(stream.size(), at + step);
            chunks.push_back(Chunk("IDAT", PngBytes(stream.begin() + static_cast<long>(at),
                                                    stream.begin() + static_cast<long>(end))));
        }
        return Png(chunks);
    };
    ExpectBothWaysAlike(idatSplitEvery(1, false), "one byte an IDAT");
    ExpectBothWaysAlike(idatSplitEvery(5, true), "empty IDATs between the pieces");

    PngBytes cut = stream;
    cut.resize(cut.size() - 10);
    ExpectBothWaysAlike(Png({ihdr, Chunk("IDAT", cut)}), "stream cut short");
    PngBytes noChecksum = stream;
    noChecksum.resize(noChecksum.size() - 4);
    ExpectBothWaysAlike(Png({ihdr, Chunk("IDAT", noChecksum)}), "checksum missing");
    PngBytes badChecksum = stream;
    badChecksum.back() ^= 1;
    ExpectBothWaysAlike(Png({ihdr, Chunk("IDAT", badChecksum)}), "checksum wrong");
    PngBytes trailing = stream;
    trailing.insert(trailing.end(), {1, 2, 3});
    ExpectBothWaysAlike(Png({ihdr, Chunk("IDAT", trailing)}), "bytes after the stream");
    PngBytes extraRow = raw;
    extraRow.insert(extraRow.end(), raw.begin(), raw.begin() + 1 + width * 3);
    ExpectBothWaysAlike(Png({ihdr, Chunk("IDAT", Zlib(extraRow))}), "one row too many");
    PngBytes badFilter = raw;
    badFilter[(1 + width * 3) * 2] = 5;
    ExpectBothWaysAlike(Png({ihdr, Chunk("IDAT", Zlib(badFilter))}), "filter type 5");

    PngBytes badCrc = Png({ihdr, Chunk("IDAT", stream)});
    badCrc[8 + ihdr.size() + 8 + stream.size()] ^= 0x40;
    ExpectBothWaysAlike(badCrc, "IDAT with a wrong CRC");

    const PngBytes half1(stream.begin(), stream.begin() + 20);
    const PngBytes half2(stream.begin() + 20, stream.end());
    ExpectBothWaysAlike(
        Png({ihdr, Chunk("IDAT", half1), Chunk("tEXt", {'a', 0, 'b'}), Chunk("IDAT", half2)}),
        "IDAT chunks interrupted by another chunk");
    ExpectBothWaysAlike(Png({ihdr, Chunk("IDAT", half1)}), "second half missing");

    PngBytes noEnd = Png({ihdr, Chunk("IDAT", stream)});
    noEnd.resize(noEnd.size() - 12);
    ExpectBothWaysAlike(noEnd, "no IEND");
    PngBytes chunkTooLong = Png({ihdr, Chunk("IDAT", stream)});
    chunkTooLong[8 + ihdr.size()] = 0x7F;
    ExpectBothWaysAlike(chunkTooLong, "IDAT length past the end of the file");

    // Indices past a palette of 4 entries.
    PngBytes indexed;
    for (uint32_t y = 0; y < height; ++y) {
        indexed.push_back(0);
        for (uint32_t x = 0; x < width; ++x) indexed.push_back(static_cast<uint8_t>(x + y));
    }
    ExpectBothWaysAlike(
        Png({Ihdr(width, height, 8, 3, false), Palette(4), Chunk("IDAT", Zlib(indexed))}),
        "palette index past the palette");
}

TEST(PngRows, EveryStoredPngDecodesAsLibspngDoes) {
    const fs::path data = testing::TestData("");
    int files = 0;
    for (const fs::path& folder : {data, data / ".." / "hostile"}) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            const PngBytes bytes = testing::ReadFileBytes(entry.path());
            if (bytes.size() < 8 || std::memcmp(bytes.data(), "\x89PNG", 4) != 0) continue;
            ExpectBothWaysAlike(bytes, entry.path().string());
            ++files;
        }
    }
    EXPECT_GT(files, 100);
}

}  // namespace
}  // namespace pic2pnm::codecs

// The GIF decoder: fixtures against netpbm's and ImageMagick's reading of them, and
// hand-made files for what those fixtures cannot show (odd colour tables, placement,
// files cut short, hostile sizes).
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "codecs/gif/gif.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using testing::AppendLe16;
using testing::ComparePixels;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

using Bytes = std::vector<uint8_t>;

constexpr uint32_t Transparent = 0;
constexpr uint32_t Opaque = 0xFF000000u;

// ---- Hand-made GIFs -------------------------------------------------------------------------

// Colours as 0xRRGGBB; the count must be a power of two from 2 to 256.
void PutColourTable(Bytes& bytes, const std::vector<uint32_t>& colours) {
    for (uint32_t c : colours) {
        bytes.push_back(static_cast<uint8_t>(c >> 16));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
        bytes.push_back(static_cast<uint8_t>(c));
    }
}

uint8_t TableSizeBits(size_t count) {
    uint8_t bits = 0;
    while ((size_t{2} << bits) < count) ++bits;
    return bits;
}

Bytes Screen(uint16_t width, uint16_t height, const std::vector<uint32_t>& globalTable) {
    Bytes bytes = {'G', 'I', 'F', '8', '9', 'a'};
    AppendLe16(bytes, width);
    AppendLe16(bytes, height);
    bytes.push_back(
        globalTable.empty() ? 0 : static_cast<uint8_t>(0x80 | TableSizeBits(globalTable.size())));
    bytes.push_back(0);  // background
    bytes.push_back(0);  // aspect
    PutColourTable(bytes, globalTable);
    return bytes;
}

void PutControlExtension(Bytes& bytes, int transparentIndex) {
    Bytes gce = {0x21,
                 0xF9,
                 4,
                 static_cast<uint8_t>(transparentIndex >= 0 ? 1 : 0),
                 0,
                 0,
                 static_cast<uint8_t>(transparentIndex >= 0 ? transparentIndex : 0),
                 0};
    bytes.insert(bytes.end(), gce.begin(), gce.end());
}

struct HandMadeImage {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    bool interlaced = false;
    std::vector<uint32_t> localTable;
    std::vector<uint8_t> pixels;  // indexes, top row first, as the picture shows them
};

// LZW with 8-bit literals only, a clear code every 100 codes so that codes stay 9 bits wide:
// valid for any decoder, and every index 0-255 can be written whatever the table size.
Bytes LiteralLzw(const std::vector<uint8_t>& indexes) {
    std::vector<uint16_t> codes = {256};
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (i > 0 && i % 100 == 0) codes.push_back(256);
        codes.push_back(indexes[i]);
    }
    codes.push_back(257);
    Bytes packed;
    uint32_t accumulator = 0;
    int bits = 0;
    for (uint16_t code : codes) {
        accumulator |= uint32_t{code} << bits;
        bits += 9;
        while (bits >= 8) {
            packed.push_back(static_cast<uint8_t>(accumulator & 0xFF));
            accumulator >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) packed.push_back(static_cast<uint8_t>(accumulator));
    return packed;
}

void PutImage(Bytes& bytes, const HandMadeImage& image) {
    bytes.push_back(0x2C);
    AppendLe16(bytes, image.left);
    AppendLe16(bytes, image.top);
    AppendLe16(bytes, image.width);
    AppendLe16(bytes, image.height);
    uint8_t flags = image.interlaced ? 0x40 : 0;
    if (!image.localTable.empty()) flags |= 0x80 | TableSizeBits(image.localTable.size());
    bytes.push_back(flags);
    PutColourTable(bytes, image.localTable);

    // Rows in file order: interlaced files send them in four passes.
    std::vector<uint8_t> ordered;
    auto putRow = [&](int y) {
        auto row = image.pixels.begin() + static_cast<ptrdiff_t>(y) * image.width;
        ordered.insert(ordered.end(), row, row + image.width);
    };
    if (image.interlaced) {
        const int passes[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
        for (const auto& pass : passes)
            for (int y = pass[0]; y < image.height; y += pass[1]) putRow(y);
    } else {
        for (int y = 0; y < image.height; ++y) putRow(y);
    }
    Bytes data = LiteralLzw(ordered);
    bytes.push_back(8);  // LZW minimum code size
    for (size_t at = 0; at < data.size(); at += 255) {
        size_t length = std::min<size_t>(255, data.size() - at);
        bytes.push_back(static_cast<uint8_t>(length));
        bytes.insert(bytes.end(), data.begin() + static_cast<ptrdiff_t>(at),
                     data.begin() + static_cast<ptrdiff_t>(at + length));
    }
    bytes.push_back(0);
}

struct OneImageGif {
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    std::vector<uint32_t> globalTable;
    int transparentIndex = -1;  // no control extension when negative
    HandMadeImage image;
};

Bytes Build(const OneImageGif& gif) {
    Bytes bytes = Screen(gif.screenWidth, gif.screenHeight, gif.globalTable);
    if (gif.transparentIndex >= 0) PutControlExtension(bytes, gif.transparentIndex);
    PutImage(bytes, gif.image);
    bytes.push_back(0x3B);
    return bytes;
}

// A width x height image whose index at (x, y) is (x + 3 * y) % modulo.
std::vector<uint8_t> IndexPattern(int width, int height, int modulo) {
    std::vector<uint8_t> indexes;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indexes.push_back(static_cast<uint8_t>((x + 3 * y) % modulo));
    return indexes;
}

const std::vector<uint32_t> FourColours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

uint32_t PixelAt(const DecodedPicture& picture, int x, int yFromTop) {
    return picture.pixels->RowFromTop(yFromTop)[x];
}

// ---- Fixtures against references --------------------------------------------------------

struct FixtureCase {
    const char* gif;
    const char* reference;
    bool hasAlpha;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const FixtureCase& c, std::ostream* out) {
    *out << c.gif;
}

class GifFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(GifFixtureTest, MatchesReferencePixelsExactly) {
    const FixtureCase& c = GetParam();
    testing::ExpectMatchesReference(DecodeGif, ReadFileBytes(TestData(std::string("gif/") + c.gif)),
                                    ReadReferenceImage(TestData(std::string("gif/") + c.reference)),
                                    {.codec = "gif",
                                     .bitsPerPixel = 8,
                                     .pixelFormat = PixelFormat::Indexed8,
                                     .hasAlpha = c.hasAlpha,
                                     .compareAlpha = true,
                                     .dpi = 0,
                                     .looksLike = LooksLikeGif});
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, GifFixtureTest,
    ::testing::Values(FixtureCase{"plain.gif", "plain.ppm", false},
                      FixtureCase{"interlaced.gif", "interlaced.ppm", false},
                      FixtureCase{"transparent.gif", "transparent.pam", true},
                      // Only the first of three different frames.
                      FixtureCase{"animated.gif", "animated.ppm", false},
                      // The local table, not the inverted global one.
                      FixtureCase{"local-table.gif", "local-table.ppm", false},
                      // A small image on a larger screen: the rest transparent black.
                      FixtureCase{"offset.gif", "offset.pam", true}),
    [](const auto& testCase) {
        std::string name = testCase.param.gif;
        name = name.substr(0, name.find('.'));
        std::erase(name, '-');
        return name;
    });

// ---- Placement on the logical screen --------------------------------------------------------

// offset.gif: a 17x11 image at (9, 6) on a 40x30 screen; bytes 6-9 hold the screen size.
Bytes OffsetGifWithScreen(uint16_t width, uint16_t height) {
    Bytes file = ReadFileBytes(TestData("gif/offset.gif"));
    testing::SetLe16(file, 6, width);
    testing::SetLe16(file, 8, height);
    return file;
}

TEST(GifPlacementTest, ScreenOfZeroSizeGivesTheImageAlone) {
    DecodedPicture picture;
    ASSERT_EQ(DecodeGif(OffsetGifWithScreen(0, 0), DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_FALSE(picture.HasAlpha());
    auto image = ReadReferenceImage(TestData("gif/offset-image.ppm"));
    EXPECT_EQ(ComparePixels(*picture.pixels, image, 0, true), "");
}

TEST(GifPlacementTest, ImageReachingBeyondTheScreenGrowsTheCanvas) {
    // Screen 20x12, image 17x11 at (9, 6): the canvas becomes 26x17.
    DecodedPicture picture;
    ASSERT_EQ(DecodeGif(OffsetGifWithScreen(20, 12), DefaultDecodeLimits, picture),
              CodecStatus::Ok);
    ASSERT_EQ(picture.width, 26);
    ASSERT_EQ(picture.height, 17);
    EXPECT_TRUE(picture.HasAlpha());
    auto image = ReadReferenceImage(TestData("gif/offset-image.ppm"));
    int wrong = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            bool inside = x >= 9 && y >= 6;
            uint32_t expected =
                inside ? image.pixels[static_cast<size_t>((y - 6) * image.width + (x - 9))]
                       : Transparent;
            if (PixelAt(picture, x, y) != expected) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

// ---- Colour tables and transparency, hand-made ----------------------------------------------

struct ColourCase {
    const char* name;
    OneImageGif gif;
    std::vector<uint32_t> expected;  // top row first
    bool hasAlpha;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const ColourCase& c, std::ostream* out) {
    *out << c.name;
}

class GifColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(GifColourTest, MapsIndexesToPixels) {
    const ColourCase& c = GetParam();
    DecodedPicture picture;
    ASSERT_EQ(DecodeGif(Build(c.gif), DefaultDecodeLimits, picture), CodecStatus::Ok);
    ASSERT_EQ(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height),
              c.expected.size());
    EXPECT_EQ(picture.HasAlpha(), c.hasAlpha);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            EXPECT_EQ(PixelAt(picture, x, y),
                      c.expected[static_cast<size_t>(y * picture.width + x)])
                << "at (" << x << ", " << y << ")";
}

OneImageGif TwoByTwo(std::vector<uint32_t> global, std::vector<uint32_t> local, int transparent,
                     std::vector<uint8_t> pixels) {
    OneImageGif gif;
    gif.screenWidth = 2;
    gif.screenHeight = 2;
    gif.globalTable = std::move(global);
    gif.transparentIndex = transparent;
    gif.image.width = 2;
    gif.image.height = 2;
    gif.image.localTable = std::move(local);
    gif.image.pixels = std::move(pixels);
    return gif;
}

INSTANTIATE_TEST_SUITE_P(
    HandMade, GifColourTest,
    ::testing::Values(
        ColourCase{"GlobalTable",
                   TwoByTwo(FourColours, {}, -1, {0, 1, 2, 3}),
                   {Opaque | 0xFF0000, Opaque | 0x00FF00, Opaque | 0x0000FF, Opaque | 0xFFFFFF},
                   false},
        ColourCase{"LocalTableWins",
                   TwoByTwo(FourColours, {0x123456, 0xABCDEF}, -1, {0, 1, 1, 0}),
                   {Opaque | 0x123456, Opaque | 0xABCDEF, Opaque | 0xABCDEF, Opaque | 0x123456},
                   false},
        ColourCase{"LocalTableWithoutGlobal",
                   TwoByTwo({}, {0x010203, 0x040506}, -1, {1, 0, 0, 1}),
                   {Opaque | 0x040506, Opaque | 0x010203, Opaque | 0x010203, Opaque | 0x040506},
                   false},
        ColourCase{"IndexBeyondTableIsBlack",
                   TwoByTwo({0xFF0000, 0x00FF00}, {}, -1, {0, 2, 7, 255}),
                   {Opaque | 0xFF0000, Opaque, Opaque, Opaque},
                   false},
        ColourCase{"TransparentIndexIsClearBlack",
                   TwoByTwo(FourColours, {}, 3, {3, 0, 1, 3}),
                   {Transparent, Opaque | 0xFF0000, Opaque | 0x00FF00, Transparent},
                   true},
        ColourCase{"TransparentIndexBeyondTable",
                   TwoByTwo({0xFF0000, 0x00FF00}, {}, 9, {9, 1, 4, 0}),
                   {Transparent, Opaque | 0x00FF00, Opaque, Opaque | 0xFF0000},
                   true},
        ColourCase{"TransparentIndexUnusedStaysOpaque",
                   TwoByTwo(FourColours, {}, 2, {0, 1, 3, 3}),
                   {Opaque | 0xFF0000, Opaque | 0x00FF00, Opaque | 0xFFFFFF, Opaque | 0xFFFFFF},
                   false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// Rows of interlaced images of every height where some of the four passes are empty.
class GifInterlaceTest : public ::testing::TestWithParam<int> {};

TEST_P(GifInterlaceTest, PutsEveryRowInItsPlace) {
    const int height = GetParam();
    std::vector<uint32_t> greys;
    for (int i = 0; i < 16; ++i) greys.push_back(static_cast<uint32_t>(i * 0x111111));
    OneImageGif gif;
    gif.screenWidth = 3;
    gif.screenHeight = static_cast<uint16_t>(height);
    gif.globalTable = greys;
    gif.image = {0, 0, 3, static_cast<uint16_t>(height), true, {}, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3; ++x) gif.image.pixels.push_back(static_cast<uint8_t>(y));
    DecodedPicture picture;
    ASSERT_EQ(DecodeGif(Build(gif), DefaultDecodeLimits, picture), CodecStatus::Ok);
    for (int y = 0; y < height; ++y)
        EXPECT_EQ(PixelAt(picture, 1, y), Opaque | greys[static_cast<size_t>(y)]) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(Heights, GifInterlaceTest, ::testing::Values(1, 2, 3, 4, 5, 8, 9, 13, 16));

TEST(GifFrameTest, ControlExtensionAfterTheFirstImageDoesNotApply) {
    Bytes bytes = Screen(2, 1, FourColours);
    PutImage(bytes, {0, 0, 2, 1, false, {}, {0, 1}});
    PutControlExtension(bytes, 0);  // belongs to the second frame
    PutImage(bytes, {0, 0, 2, 1, false, {}, {2, 3}});
    bytes.push_back(0x3B);
    DecodedPicture picture;
    ASSERT_EQ(DecodeGif(bytes, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_FALSE(picture.HasAlpha());
    EXPECT_EQ(PixelAt(picture, 0, 0), Opaque | 0xFF0000);
    EXPECT_EQ(PixelAt(picture, 1, 0), Opaque | 0x00FF00);
}

TEST(GifFrameTest, ExtensionsBeforeTheImageAreSkipped) {
    Bytes bytes = Screen(2, 1, FourColours);
    // A comment and an application extension of several sub-blocks.
    Bytes comment = {0x21, 0xFE, 3, 'a', 'b', 'c', 0};
    Bytes application = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                         '2',  '.',  '0', 3,   1,   0,   0,   2,   9,   9,   0};
    bytes.insert(bytes.end(), comment.begin(), comment.end());
    bytes.insert(bytes.end(), application.begin(), application.end());
    PutControlExtension(bytes, 1);
    PutImage(bytes, {0, 0, 2, 1, false, {}, {1, 2}});
    bytes.push_back(0x3B);
    DecodedPicture picture;
    ASSERT_EQ(DecodeGif(bytes, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(PixelAt(picture, 0, 0), Transparent);
    EXPECT_EQ(PixelAt(picture, 1, 0), Opaque | 0x0000FF);
}

// ---- Broken, hostile and foreign files ------------------------------------------------------

// 16x16 image with a four-colour global table and a control extension:
// screen 0-12, table 13-24, extension 25-32, descriptor 33-42, code size 43, data 44 on.
Bytes SixteenSquare() {
    OneImageGif gif;
    gif.screenWidth = 16;
    gif.screenHeight = 16;
    gif.globalTable = FourColours;
    gif.transparentIndex = 3;
    gif.image = {0, 0, 16, 16, false, {}, IndexPattern(16, 16, 4)};
    return Build(gif);
}

TEST(GifTruncationTest, WholeHandMadeFileDecodes) {
    DecodedPicture picture;
    ASSERT_EQ(DecodeGif(SixteenSquare(), DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(PixelAt(picture, 1, 0), Opaque | 0x00FF00);
    EXPECT_EQ(PixelAt(picture, 0, 1), Transparent);
}

struct CutCase {
    const char* name;
    size_t keep;  // bytes kept; counted from the end when fromEnd
    bool fromEnd;
    CodecStatus expected;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const CutCase& c, std::ostream* out) {
    *out << c.name;
}

class GifTruncationTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(GifTruncationTest, FileCutShort) {
    const CutCase& c = GetParam();
    Bytes file = SixteenSquare();
    size_t keep = c.fromEnd ? file.size() - c.keep : c.keep;
    file.resize(keep);
    DecodedPicture picture;
    EXPECT_EQ(DecodeGif(file, DefaultDecodeLimits, picture), c.expected);
    EXPECT_EQ(picture.pixels != nullptr, c.expected == CodecStatus::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, GifTruncationTest,
    ::testing::Values(CutCase{"InsideScreenDescriptor", 9, false, CodecStatus::Corrupt},
                      CutCase{"InsideGlobalTable", 20, false, CodecStatus::Corrupt},
                      CutCase{"AfterGlobalTable", 25, false, CodecStatus::Corrupt},
                      CutCase{"InsideControlExtension", 29, false, CodecStatus::Corrupt},
                      CutCase{"InsideImageDescriptor", 38, false, CodecStatus::Corrupt},
                      CutCase{"BeforeCodeSize", 43, false, CodecStatus::Corrupt},
                      CutCase{"AtStartOfData", 46, false, CodecStatus::Corrupt},
                      CutCase{"InsideData", 150, false, CodecStatus::Corrupt},
                      CutCase{"InsideLastDataBlock", 10, true, CodecStatus::Corrupt},
                      CutCase{"BeforeBlockTerminator", 2, true, CodecStatus::Corrupt},
                      // Everything of the image is there; only the end mark is missing.
                      CutCase{"WithoutTrailer", 1, true, CodecStatus::Ok}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct BadFileCase {
    const char* name;
    Bytes file;
    CodecStatus expected;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const BadFileCase& c, std::ostream* out) {
    *out << c.name;
}

class GifBadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(GifBadFileTest, IsRefused) {
    const BadFileCase& c = GetParam();
    DecodedPicture picture;
    EXPECT_EQ(DecodeGif(c.file, DefaultDecodeLimits, picture), c.expected);
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(LooksLikeGif(c.file), c.expected != CodecStatus::NotMyFormat);
}

Bytes WithImage(Bytes screen, const HandMadeImage& image) {
    PutImage(screen, image);
    screen.push_back(0x3B);
    return screen;
}

// The data holds two rows of four while the descriptor declares four rows.
Bytes DataEndsEarly() {
    Bytes bytes = Screen(4, 4, FourColours);
    const size_t heightField = bytes.size() + 7;
    PutImage(bytes, {0, 0, 4, 2, false, {}, IndexPattern(4, 2, 4)});
    bytes[heightField] = 4;
    bytes.push_back(0x3B);
    return bytes;
}

Bytes Concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    Files, GifBadFileTest,
    ::testing::Values(
        BadFileCase{"SignatureOnlyInPart", {'G', 'I', 'F', '8', '9'}, CodecStatus::NotMyFormat},
        BadFileCase{"UnknownVersion",
                    {'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0},
                    CodecStatus::NotMyFormat},
        BadFileCase{"Png",
                    {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13},
                    CodecStatus::NotMyFormat},
        BadFileCase{"Jpeg",
                    {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0},
                    CodecStatus::NotMyFormat},
        BadFileCase{"HeaderOnly", Screen(4, 4, FourColours), CodecStatus::Corrupt},
        BadFileCase{"TrailerBeforeAnyImage", Concat(Screen(4, 4, FourColours), {0x3B}),
                    CodecStatus::Corrupt},
        BadFileCase{"UnknownRecord", Concat(Screen(4, 4, FourColours), {0x99, 0, 0}),
                    CodecStatus::Corrupt},
        BadFileCase{"NoColourTableAtAll",
                    WithImage(Screen(2, 1, {}), {0, 0, 2, 1, false, {}, {0, 1}}),
                    CodecStatus::Corrupt},
        BadFileCase{"ZeroWidthImage",
                    WithImage(Screen(2, 1, FourColours), {0, 0, 0, 1, false, {}, {}}),
                    CodecStatus::Corrupt},
        BadFileCase{"ZeroHeightImage",
                    WithImage(Screen(2, 1, FourColours), {0, 0, 2, 0, false, {}, {}}),
                    CodecStatus::Corrupt},
        BadFileCase{"DataEndsEarly", DataEndsEarly(), CodecStatus::Corrupt},
        // A huge screen with a tiny image: refused before anything is allocated.
        BadFileCase{"HugeScreen",
                    WithImage(Screen(65535, 65535, FourColours), {0, 0, 1, 1, false, {}, {1}}),
                    CodecStatus::TooLarge},
        // A tiny screen with a huge image far off: the canvas would have to grow too much.
        BadFileCase{"HugeImageOffset",
                    WithImage(Screen(1, 1, FourColours), {65535, 65535, 1, 1, false, {}, {1}}),
                    CodecStatus::TooLarge}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace pic2pnm::codecs

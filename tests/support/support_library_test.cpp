// The support library's helpers, the pixel split built on them and the run-time's number
// formatting and argument list.
#include "support/support_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "helpers/capture_error.h"
#include "helpers/test_files.h"
#include "imaging/gdi/gdi.h"
#include "netpbm/app_title_version.h"
#include "netpbm/rgb_triple.h"
#include "runtime/format_number.h"
#include "runtime/run_time_error.h"
#include "support/support_command_line.h"

namespace pic2pnm {
namespace {

using testing::CaptureError;
using testing::RaisedNumber;
using testing::TempDir;
using testing::WriteFileText;

TEST(SupportLibraryTest, ErrorNumberText) {
    struct Case {
        int32_t number;
        const char* text;
    };
    const std::vector<Case> cases = {
        {0, "0"},
        {53, "53"},
        {481, "481"},
        {2147483647, "2147483647"},
        {static_cast<int32_t>(0x80040000u), "0x80040000"},
        {static_cast<int32_t>(0x8007000Eu), "0x8007000E"},
        {-1, "0xFFFFFFFF"},
        {std::numeric_limits<int32_t>::min(), "0x80000000"},
    };
    for (const Case& c : cases) EXPECT_EQ(psGetErrorNumber(c.number), c.text) << c.number;
}

TEST(SupportLibraryTest, WordsAndBytes) {
    struct Case {
        uint32_t value;
        int32_t hiWord;
        int32_t loWord;
        int32_t hiByte;
        int32_t loByte;
    };
    const std::vector<Case> cases = {
        {0x00000000u, 0x0000, 0x0000, 0x00, 0x00}, {0x12345678u, 0x1234, 0x5678, 0x56, 0x78},
        {0xFFFFFFFFu, 0xFFFF, 0xFFFF, 0xFF, 0xFF}, {0x80000001u, 0x8000, 0x0001, 0x00, 0x01},
        {0x0000FF00u, 0x0000, 0xFF00, 0xFF, 0x00}, {0xABCD0000u, 0xABCD, 0x0000, 0x00, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.value);
        const auto value = static_cast<int32_t>(c.value);
        EXPECT_EQ(psHiWord(value), c.hiWord);
        EXPECT_EQ(psLoWord(value), c.loWord);
        EXPECT_EQ(psHiByte(value), c.hiByte);
        EXPECT_EQ(psLoByte(value), c.loByte);
    }
}

TEST(SupportLibraryTest, SplitRgbIgnoresTheTopByte) {
    struct Case {
        int32_t pixel;
        int32_t r;
        int32_t g;
        int32_t b;
    };
    const std::vector<Case> cases = {
        {1193046, 18, 52, 86},    // 0x00123456
        {-15584170, 18, 52, 86},  // 0xFF123456
        {0x7F123456, 18, 52, 86}, {0, 0, 0, 0},
        {-1, 255, 255, 255},      {0x00FF0000, 255, 0, 0},
        {0x0000FF00, 0, 255, 0},  {0x000000FF, 0, 0, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pixel);
        RgbTriple rgb;
        rgb.R = rgb.G = rgb.B = -7;
        SplitRGB(c.pixel, rgb);
        EXPECT_EQ(rgb.R, c.r);
        EXPECT_EQ(rgb.G, c.g);
        EXPECT_EQ(rgb.B, c.b);
    }
}

TEST(SupportLibraryTest, HimetricToScreenPixelsRoundsToNearest) {
    struct Case {
        float himetric;
        int32_t pixels;
    };
    const std::vector<Case> cases = {
        {0, 0},     {2540, 96},   {-2540, -96}, {13, 0},     {14, 1},
        {26, 1},    {27, 1},      {39, 1},      {40, 2},     {-13, 0},
        {-14, -1},  {25400, 960}, {1270, 48},   {2646, 100}, {2645, 100},
        {2632, 99}, {2633, 100},  {13.2f, 0},   {13.3f, 1},  {2540000, 96000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.himetric);
        EXPECT_EQ(esScreenHimetricToPixelsX(c.himetric), c.pixels);
        EXPECT_EQ(esScreenHimetricToPixelsY(c.himetric), c.pixels);
    }
    for (const float huge : {1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN()}) {
        SCOPED_TRACE(huge);
        EXPECT_EQ(RaisedNumber([&] { esScreenHimetricToPixelsX(huge); }), ErrorNumber::Overflow);
        EXPECT_EQ(RaisedNumber([&] { esScreenHimetricToPixelsY(huge); }), ErrorNumber::Overflow);
    }
}

TEST(SupportLibraryTest, RectToNewRect) {
    struct Case {
        RECTL rect;
        NewRect expected;
    };
    const std::vector<Case> cases = {
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
        {{10, 20, 110, 70}, {10, 20, 100, 50}},
        {{-5, -6, 5, 6}, {-5, -6, 10, 12}},
        {{100, 100, 50, 40}, {100, 100, -50, -60}},
        {{0, 0, 2147483647, 2147483647}, {0, 0, 2147483647, 2147483647}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rect.left << "," << c.rect.top << "," << c.rect.right
                                          << "," << c.rect.bottom);
        const NewRect got = esRectToNewRect(c.rect);
        EXPECT_EQ(got.Left, c.expected.Left);
        EXPECT_EQ(got.Top, c.expected.Top);
        EXPECT_EQ(got.Width, c.expected.Width);
        EXPECT_EQ(got.Height, c.expected.Height);
    }
    const int32_t min = std::numeric_limits<int32_t>::min();
    const int32_t max = std::numeric_limits<int32_t>::max();
    for (const RECTL overflowing : {RECTL{min, 0, max, 0}, RECTL{0, -1, 0, max},
                                    RECTL{1, 0, min, 0}, RECTL{0, max, 0, min}}) {
        EXPECT_EQ(RaisedNumber([&] { esRectToNewRect(overflowing); }), ErrorNumber::Overflow);
    }
}

TEST(SupportLibraryTest, FileExistsOnlyForThingsThatAreNotFolders) {
    TempDir dir;
    WriteFileText(dir / "file.txt", "x");
    WriteFileText(dir / "empty", "");
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        std::string path;
        bool exists;
    };
    const std::vector<Case> cases = {
        {(dir / "file.txt").string(), true},
        {(dir / "empty").string(), true},
        {(dir / "folder").string(), false},
        {dir.Path().string(), false},
        {(dir / "missing.txt").string(), false},
        {(dir / "file.txt" / "below").string(), false},
        {"", false},
        {std::string("file.txt\0x", 10), false},
    };
    for (const Case& c : cases) EXPECT_EQ(esIsFileExist(c.path), c.exists) << c.path;
}

TEST(SupportLibraryTest, FormatNumberPadsWithZeros) {
    struct Case {
        int64_t value;
        const char* pattern;
        const char* text;
    };
    const std::vector<Case> cases = {
        {1, "0000", "0001"},
        {0, "00", "00"},
        {12345, "00", "12345"},
        {7, "0", "7"},
        {0, "0", "0"},
        {99, "", "99"},
        {-5, "00", "-05"},
        {-123, "0", "-123"},
        {32767, "0000", "32767"},
        {std::numeric_limits<int64_t>::min(), "0", "-9223372036854775808"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatNumber(c.value, c.pattern), c.text) << c.value;
}

TEST(SupportLibraryTest, TitleAndVersionLine) {
    EXPECT_EQ(AppTitleVersion(App()), "Pelorin - Picture to text picture 1.00.0001");
    AppObject other{"Ignored title", "x", 12, 345, 67};
    EXPECT_EQ(AppTitleVersion(other), "Pelorin - Picture to text picture 12.345.0067");
}

TEST(SupportLibraryTest, StringFromPointer) {
    EXPECT_EQ(psGetStringFromPointerA("text"), "text");
    EXPECT_EQ(psGetStringFromPointerA(""), "");
    const char embedded[] = {'a', 'b', '\0', 'c', '\0'};
    EXPECT_EQ(psGetStringFromPointerA(embedded), "ab");
    EXPECT_EQ(RaisedNumber([] { psGetStringFromPointerA(nullptr); }), ErrorNumber::InvalidCall);
}

TEST(SupportLibraryTest, BitmapFromHandleTakesTheHandleOver) {
    const size_t liveBefore = LiveGdiObjects();
    {
        const HBITMAP bitmap = CreateBitmapObject(PixelStore::Allocate(96, 48), 24);
        ASSERT_NE(bitmap, 0u);
        const PictureObject picture = psGetBitmapFromHandle(bitmap);
        EXPECT_EQ(picture.Type(), PICTYPE_BITMAP);
        EXPECT_EQ(picture.Handle(), bitmap);
        EXPECT_EQ(picture.Width(), 2540);
        EXPECT_EQ(picture.Height(), 1270);
    }
    EXPECT_EQ(LiveGdiObjects(), liveBefore);

    const HMETAFILE metafile = CreateMetaFileObject();
    const HBITMAP deleted = CreateBitmapObject(PixelStore::Allocate(1, 1), 32);
    ASSERT_EQ(DeleteObject(deleted), 1);
    for (const HANDLE32 bad : {HANDLE32(0), metafile, deleted}) {
        EXPECT_EQ(RaisedNumber([&] { psGetBitmapFromHandle(bad); }), ErrorNumber::InvalidCall)
            << bad;
    }
    EXPECT_EQ(DeleteMetaFile(metafile), 1);
    EXPECT_EQ(LiveGdiObjects(), liveBefore);
}

TEST(SupportLibraryTest, CommandLineSplitsAtBlanksOutsideQuotes) {
    struct Case {
        const char* text;
        std::vector<std::string> items;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"   ", {}},
        {"PBM a.png b.pbm", {"PBM", "a.png", "b.pbm"}},
        {"  PGM\t a.png   b.pgm  ", {"PGM", "a.png", "b.pgm"}},
        {"PPM \"my picture.png\" out.ppm", {"PPM", "my picture.png", "out.ppm"}},
        {"\"\" x", {"", "x"}},
        {"a\"b c\"d", {"ab cd"}},
    };
    ArgumentsObject arguments;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        arguments.SetCommandLine(c.text, true);
        ASSERT_EQ(arguments.Count(), static_cast<int32_t>(c.items.size()));
        for (size_t i = 0; i < c.items.size(); ++i)
            EXPECT_EQ(arguments.Item(static_cast<int32_t>(i)), c.items[i]);
        const auto error = CaptureError([&] { arguments.Item(arguments.Count()); });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->Number(), ErrorNumber::SubscriptOutOfRange);
        EXPECT_EQ(RaisedNumber([&] { arguments.Item(-1); }), ErrorNumber::SubscriptOutOfRange);
    }
}

}  // namespace
}  // namespace pic2pnm

// The GDI+ stand-in: start-up, handle checks, the status of every way a file can fail, the
// images each format gives (from pictures written here byte by byte and from the codec
// fixtures), GDI bitmaps composited over a background, and the compositing arithmetic.
#include "imaging/gdiplus/gdiplus.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "codecs/avif/avif.h"
#include "codecs/bmp/bmp.h"
#include "codecs/common/codec_registry.h"
#include "codecs/gif/gif.h"
#include "codecs/heif/heif.h"
#include "codecs/icon/icon.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jxl/jxl.h"
#include "codecs/png/png.h"
#include "codecs/tiff/tiff.h"
#include "codecs/webp/webp.h"
#include "helpers/test_files.h"
#include "imaging/gdi/gdi.h"
#include "imaging/gdiplus/gdiplus_composite.h"
#include "imaging/gdiplus/gdiplus_images.h"
#include "imaging/gdiplus/gdiplus_pixel_format.h"
#include "runtime/utf16_path.h"

namespace pic2pnm {
namespace {

namespace fs = std::filesystem;
using codecs::CodecStatus;
using codecs::DecodedPicture;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::TestData;
using testing::WriteFileBytes;
using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------------
// Tiny pictures written byte by byte, so that every pixel's expected value is known.
// Pixels are given top-down as 0xAARRGGBB.

void PutLe(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBe(Bytes& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint8_t ChannelOf(uint32_t pixel, int shift) {
    return static_cast<uint8_t>(pixel >> shift);
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutPngChunk(Bytes& png, const char* type, const Bytes& data) {
    PutBe(png, static_cast<uint32_t>(data.size()), 4);
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBe(png, Crc32(png.data() + start, png.size() - start), 4);
}

// A zlib stream of stored (uncompressed) blocks.
Bytes ZlibStored(const Bytes& raw) {
    Bytes out = {0x78, 0x01};
    size_t done = 0;
    do {
        const size_t length = std::min<size_t>(raw.size() - done, 65535);
        out.push_back(done + length == raw.size() ? 1 : 0);
        PutLe(out, static_cast<uint32_t>(length), 2);
        PutLe(out, static_cast<uint32_t>(~length & 0xFFFF), 2);
        out.insert(out.end(), raw.begin() + static_cast<ptrdiff_t>(done),
                   raw.begin() + static_cast<ptrdiff_t>(done + length));
        done += length;
    } while (done < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
    PutBe(out, (b << 16) | a, 4);
    return out;
}

Bytes PngFile(uint32_t width, uint32_t height, uint8_t colourType, const Bytes& scanlines,
              uint32_t pixelsPerMetre) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBe(header, width, 4);
    PutBe(header, height, 4);
    header.insert(header.end(), {8, colourType, 0, 0, 0});
    PutPngChunk(png, "IHDR", header);
    if (pixelsPerMetre != 0) {
        Bytes physical;
        PutBe(physical, pixelsPerMetre, 4);
        PutBe(physical, pixelsPerMetre, 4);
        physical.push_back(1);
        PutPngChunk(png, "pHYs", physical);
    }
    PutPngChunk(png, "IDAT", ZlibStored(scanlines));
    PutPngChunk(png, "IEND", {});
    return png;
}

// 8-bit RGBA (withAlpha) or RGB, filter type 0 on every row.
Bytes BuildPng(int width, int height, const std::vector<uint32_t>& pixels, bool withAlpha,
               uint32_t pixelsPerMetre = 0) {
    Bytes scanlines;
    for (int y = 0; y < height; ++y) {
        scanlines.push_back(0);
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[static_cast<size_t>(y * width + x)];
            for (int shift : {16, 8, 0}) scanlines.push_back(ChannelOf(pixel, shift));
            if (withAlpha) scanlines.push_back(ChannelOf(pixel, 24));
        }
    }
    return PngFile(static_cast<uint32_t>(width), static_cast<uint32_t>(height), withAlpha ? 6 : 2,
                   scanlines, pixelsPerMetre);
}

// 24 bits per pixel, bottom-up.
Bytes BuildBmp24(int32_t width, int32_t height, const std::vector<uint32_t>& pixels,
                 int32_t pixelsPerMetre) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = pixels.empty() ? 0 : rowBytes * static_cast<uint32_t>(height);
    Bytes bmp = {'B', 'M'};
    PutLe(bmp, 54 + imageBytes, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 54, 4);
    for (uint32_t value : {40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        PutLe(bmp, value, 4);
    PutLe(bmp, 1, 2);
    PutLe(bmp, 24, 2);
    for (uint32_t value : {0u, imageBytes, static_cast<uint32_t>(pixelsPerMetre),
                           static_cast<uint32_t>(pixelsPerMetre), 0u, 0u})
        PutLe(bmp, value, 4);
    for (int32_t y = height - 1; y >= 0 && !pixels.empty(); --y) {
        for (int32_t x = 0; x < width; ++x)
            for (int shift : {0, 8, 16})
                bmp.push_back(ChannelOf(pixels[static_cast<size_t>(y * width + x)], shift));
        for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < rowBytes; ++pad)
            bmp.push_back(0);
    }
    return bmp;
}

// A GIF with a four-colour global palette and one frame covering the screen. The LZW data
// sends a clear code before every pixel, so the code width never grows past three bits.
Bytes BuildGif(int width, int height, const std::array<uint32_t, 4>& palette,
               const std::vector<uint8_t>& indices, int transparentIndex) {
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe(gif, static_cast<uint32_t>(width), 2);
    PutLe(gif, static_cast<uint32_t>(height), 2);
    gif.insert(gif.end(), {0xF1, 0, 0});
    for (uint32_t colour : palette)
        for (int shift : {16, 8, 0}) gif.push_back(ChannelOf(colour, shift));
    if (transparentIndex >= 0)
        gif.insert(gif.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(transparentIndex), 0});
    gif.push_back(0x2C);
    for (uint32_t value : {0u, 0u, static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        PutLe(gif, value, 2);
    gif.push_back(0);
    gif.push_back(2);  // minimum code size: clear code 4, end code 5
    Bytes codes;
    uint32_t bitBuffer = 0;
    int bitCount = 0;
    auto putCode = [&](uint32_t code) {
        bitBuffer |= code << bitCount;
        bitCount += 3;
        while (bitCount >= 8) {
            codes.push_back(static_cast<uint8_t>(bitBuffer));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    for (uint8_t index : indices) {
        putCode(4);
        putCode(index);
    }
    putCode(5);
    if (bitCount > 0) codes.push_back(static_cast<uint8_t>(bitBuffer));
    for (size_t done = 0; done < codes.size(); done += 255) {
        const size_t length = std::min<size_t>(255, codes.size() - done);
        gif.push_back(static_cast<uint8_t>(length));
        gif.insert(gif.end(), codes.begin() + static_cast<ptrdiff_t>(done),
                   codes.begin() + static_cast<ptrdiff_t>(done + length));
    }
    gif.push_back(0);
    gif.push_back(0x3B);
    return gif;
}

// Uncompressed RGBA with associated (premultiplied) alpha, one strip, 300 dpi.
Bytes BuildTiffPremultiplied(int width, int height, const std::vector<uint32_t>& pixels) {
    constexpr uint32_t entries = 14;
    constexpr uint32_t bitsOffset = 8 + 2 + entries * 12 + 4;
    constexpr uint32_t xResolutionOffset = bitsOffset + 8;
    constexpr uint32_t yResolutionOffset = xResolutionOffset + 8;
    constexpr uint32_t pixelOffset = yResolutionOffset + 8;
    const auto w = static_cast<uint32_t>(width);
    const auto h = static_cast<uint32_t>(height);
    Bytes tiff = {'I', 'I', 42, 0};
    PutLe(tiff, 8, 4);
    PutLe(tiff, entries, 2);
    auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        PutLe(tiff, tag, 2);
        PutLe(tiff, type, 2);
        PutLe(tiff, count, 4);
        PutLe(tiff, value, 4);  // a SHORT sits in the low two bytes, little-endian
    };
    constexpr uint32_t Short = 3, Long = 4, Rational = 5;
    entry(256, Short, 1, w);
    entry(257, Short, 1, h);
    entry(258, Short, 4, bitsOffset);
    entry(259, Short, 1, 1);
    entry(262, Short, 1, 2);
    entry(273, Long, 1, pixelOffset);
    entry(277, Short, 1, 4);
    entry(278, Short, 1, h);
    entry(279, Long, 1, w * h * 4);
    entry(282, Rational, 1, xResolutionOffset);
    entry(283, Rational, 1, yResolutionOffset);
    entry(284, Short, 1, 1);
    entry(296, Short, 1, 2);
    entry(338, Short, 1, 1);
    PutLe(tiff, 0, 4);
    for (int i = 0; i < 4; ++i) PutLe(tiff, 8, 2);
    for (int i = 0; i < 2; ++i) {
        PutLe(tiff, 300, 4);
        PutLe(tiff, 1, 4);
    }
    for (uint32_t pixel : pixels)
        for (int shift : {16, 8, 0, 24}) tiff.push_back(ChannelOf(pixel, shift));
    return tiff;
}

// An icon (type 1) or cursor (type 2) directory with one entry holding `image`.
Bytes BuildIconFile(uint16_t type, int width, int height, const Bytes& image) {
    Bytes icon;
    PutLe(icon, 0, 2);
    PutLe(icon, type, 2);
    PutLe(icon, 1, 2);
    icon.insert(icon.end(), {static_cast<uint8_t>(width), static_cast<uint8_t>(height), 0, 0});
    PutLe(icon, type == 1 ? 1 : 0, 2);   // planes, or the hotspot's x for a cursor
    PutLe(icon, type == 1 ? 32 : 0, 2);  // bits per pixel, or the hotspot's y
    PutLe(icon, static_cast<uint32_t>(image.size()), 4);
    PutLe(icon, 22, 4);
    icon.insert(icon.end(), image.begin(), image.end());
    return icon;
}

// ---------------------------------------------------------------------------------------
// What the program would see, computed the plain way.

uint32_t DivideRounded(uint32_t x) {
    return (x + 127) / 255;
}

// One pixel of a GDI bitmap made from an image, with division where the code shifts.
uint32_t ExpectedOver(uint32_t pixel, bool hasAlpha, bool premultiplied, ARGB background) {
    if (!hasAlpha) return pixel | 0xFF000000;
    const uint32_t alpha = pixel >> 24;
    uint32_t out = 0xFF000000;
    for (int shift : {0, 8, 16}) {
        const uint32_t colour = ChannelOf(pixel, shift);
        const uint32_t back = ChannelOf(background, shift);
        uint32_t value = premultiplied
                             ? std::min<uint32_t>(255, colour + DivideRounded(back * (255 - alpha)))
                             : DivideRounded(colour * alpha + back * (255 - alpha));
        out |= value << shift;
    }
    return out;
}

std::string GuidText(const GUID& guid) {
    char16_t buffer[39];
    if (StringFromGUID2(guid, buffer, 39) != 39) return "(StringFromGUID2 failed)";
    std::string text;
    for (char16_t c : std::u16string_view(buffer)) text += static_cast<char>(c);
    return text;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// The bitmap's pixels top-down, through the screen device context like the program.
std::vector<uint32_t> ReadBack(HBITMAP bitmap, int32_t width, int32_t height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const HDC dc = GetDC(0);
    const int lines = GetDIBits(dc, bitmap, 0, static_cast<uint32_t>(height), pixels.data(),
                                &header, DIB_RGB_COLORS);
    ReleaseDC(0, dc);
    if (lines != height) return {};
    return pixels;
}

std::vector<uint32_t> TopDown(const PixelStore& store) {
    std::vector<uint32_t> pixels;
    for (int32_t row = 0; row < store.Height(); ++row) {
        // Rows are kept bottom-up.
        const uint32_t* line = store.Data() + static_cast<size_t>(store.Height() - 1 - row) *
                                                  static_cast<size_t>(store.Width());
        pixels.insert(pixels.end(), line, line + store.Width());
    }
    return pixels;
}

// Empty when equal, else where the first few pixels differ.
std::string Differences(const std::vector<uint32_t>& actual,
                        const std::vector<uint32_t>& expected) {
    if (actual.size() != expected.size())
        return "pixel counts " + std::to_string(actual.size()) + " and " +
               std::to_string(expected.size());
    std::string report;
    int shown = 0;
    for (size_t i = 0; i < actual.size() && shown < 5; ++i)
        if (actual[i] != expected[i]) {
            report += "pixel " + std::to_string(i) + ": " + Hex(actual[i]) + " expected " +
                      Hex(expected[i]) + "\n";
            ++shown;
        }
    return report;
}

GpStatus Load(const fs::path& path, GpImage& image) {
    const std::u16string name = PathToUtf16(path.string());
    return GdipCreateBitmapFromFile(name.c_str(), &image);
}

using Decoder = codecs::CodecResult (*)(codecs::FileView, const codecs::DecodeLimits&,
                                        DecodedPicture&);

// Whether a decoder has landed: it accepts a picture of its own format.
bool Decodes(Decoder decode, const Bytes& file) {
    DecodedPicture picture;
    return decode(file, codecs::DefaultDecodeLimits, picture).IsOk();
}

// The name of the registry row that decodes with `decode`.
std::string_view RowOf(Decoder decode) {
    for (const codecs::CodecEntry& row : codecs::CodecRegistry())
        if (row.decode == decode) return row.name;
    return {};
}

// An image made straight from pixels (top-down), as a decoder would leave it.
GpImage AddImage(int32_t width, int32_t height, const std::vector<uint32_t>& pixels, bool hasAlpha,
                 bool premultiplied) {
    GdipImageRecord record;
    record.width = width;
    record.height = height;
    record.hasAlpha = hasAlpha;
    record.premultipliedAlpha = premultiplied;
    record.rawFormat = GUID{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    record.pixels = PixelStore::Allocate(width, height);
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(record.pixels->RowFromTop(row), &pixels[static_cast<size_t>(row * width)],
                    static_cast<size_t>(width) * sizeof(uint32_t));
    return AddGdipImage(std::move(record));
}

const std::vector<uint32_t> TwoByTwoPixels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF808080};

// ---------------------------------------------------------------------------------------

class GdiplusStarted : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(GdiplusStartupCount(), 0u);
        GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
        gdiObjectsBefore_ = LiveGdiObjects();
    }
    void TearDown() override {
        EXPECT_EQ(LiveGdipImages(), 0u) << "an image was not disposed";
        EXPECT_EQ(LiveGdiObjects(), gdiObjectsBefore_) << "a GDI object was not deleted";
        GdiplusShutdown(token_);
    }
    ULONG_PTR token_ = 0;
    size_t gdiObjectsBefore_ = 0;
};

// --- Start-up and shut-down -------------------------------------------------------------

TEST(GdiplusStartup, RefusesBadInput) {
    struct Case {
        const char* name;
        bool nullToken;
        bool nullInput;
        uint32_t version;
        GpStatus expected;
    };
    const Case cases[] = {
        {"no input", false, true, 1, InvalidParameter},
        {"no token", true, false, 1, InvalidParameter},
        {"version 0", false, false, 0, UnsupportedGdiplusVersion},
        {"version 2", false, false, 2, UnsupportedGdiplusVersion},
        {"version 3", false, false, 3, UnsupportedGdiplusVersion},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GdiplusStartupInput input;
        input.GdiplusVersion = c.version;
        ULONG_PTR token = 0;
        EXPECT_EQ(
            GdiplusStartup(c.nullToken ? nullptr : &token, c.nullInput ? nullptr : &input, nullptr),
            c.expected);
        EXPECT_EQ(token, 0u);
        EXPECT_EQ(GdiplusStartupCount(), 0u);
    }
}

TEST(GdiplusStartup, CountsOutstandingTokens) {
    GdiplusStartupInput input;
    ULONG_PTR first = 0, second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(GdiplusStartupCount(), 2u);

    GdiplusShutdown(first);
    EXPECT_EQ(GdiplusStartupCount(), 1u);
    GdiplusShutdown(first);  // already returned: ignored
    GdiplusShutdown(0);
    GdiplusShutdown(second + 1000);
    EXPECT_EQ(GdiplusStartupCount(), 1u);
    uint32_t width = 0;
    EXPECT_EQ(GdipGetImageWidth(0, &width), InvalidParameter) << "still started";

    GdiplusShutdown(second);
    EXPECT_EQ(GdiplusStartupCount(), 0u);
    EXPECT_EQ(GdipGetImageWidth(0, &width), GdiplusNotInitialized);

    ULONG_PTR third = 0;
    ASSERT_EQ(GdiplusStartup(&third, &input, nullptr), Ok);
    EXPECT_NE(third, first) << "a token is never handed out twice";
    EXPECT_NE(third, second);
    GdiplusShutdown(third);
}

// Every call but StringFromGUID2 needs GDI+ started, even with good arguments.
TEST(GdiplusStartup, EveryCallNeedsStartup) {
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    const GpImage image = AddImage(2, 2, TwoByTwoPixels, false, false);
    ASSERT_NE(image, 0u);
    GdiplusShutdown(token);
    ASSERT_EQ(GdiplusStartupCount(), 0u);

    TempDir dir;
    WriteFileBytes(dir / "picture.png", BuildPng(2, 2, TwoByTwoPixels, false));
    const std::u16string name = PathToUtf16((dir / "picture.png").string());
    uint32_t number = 0;
    float resolution = 0;
    GUID format{};
    PixelFormatCode pixelFormat = 0;
    HBITMAP bitmap = 0;
    GpImage loaded = 0;
    const std::pair<const char*, std::function<GpStatus()>> calls[] = {
        {"CreateBitmapFromFile", [&] { return GdipCreateBitmapFromFile(name.c_str(), &loaded); }},
        {"CreateHBITMAPFromBitmap", [&] { return GdipCreateHBITMAPFromBitmap(image, &bitmap, 0); }},
        {"GetImageWidth", [&] { return GdipGetImageWidth(image, &number); }},
        {"GetImageHeight", [&] { return GdipGetImageHeight(image, &number); }},
        {"GetImageHorizontalResolution",
         [&] { return GdipGetImageHorizontalResolution(image, &resolution); }},
        {"GetImageVerticalResolution",
         [&] { return GdipGetImageVerticalResolution(image, &resolution); }},
        {"GetImageRawFormat", [&] { return GdipGetImageRawFormat(image, &format); }},
        {"GetImagePixelFormat", [&] { return GdipGetImagePixelFormat(image, &pixelFormat); }},
        {"DisposeImage", [&] { return GdipDisposeImage(image); }},
    };
    for (const auto& [callName, call] : calls) EXPECT_EQ(call(), GdiplusNotInitialized) << callName;
    EXPECT_EQ(loaded, 0u);
    EXPECT_EQ(bitmap, 0u);
    EXPECT_EQ(LiveGdipImages(), 1u) << "DisposeImage did nothing while not started";

    char16_t text[39];
    EXPECT_EQ(StringFromGUID2(GUID{}, text, 39), 39);

    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    GdiplusShutdown(token);
}

// --- Handles and out-pointers -------------------------------------------------------------

TEST_F(GdiplusStarted, BadHandlesAndNullPointers) {
    const GpImage disposed = AddImage(2, 2, TwoByTwoPixels, false, false);
    ASSERT_EQ(GdipDisposeImage(disposed), Ok);
    const GpImage live = AddImage(2, 2, TwoByTwoPixels, false, false);
    const HBITMAP gdiBitmap = CreateBitmapObject(PixelStore::Allocate(1, 1), 32);

    uint32_t number = 0;
    float resolution = 0;
    GUID format{};
    PixelFormatCode pixelFormat = 0;
    HBITMAP bitmap = 0;
    using Call = std::function<GpStatus(GpImage, bool nullOut)>;
    const std::pair<const char*, Call> calls[] = {
        {"CreateHBITMAPFromBitmap",
         [&](GpImage i, bool n) {
             return GdipCreateHBITMAPFromBitmap(i, n ? nullptr : &bitmap, 0);
         }},
        {"GetImageWidth",
         [&](GpImage i, bool n) { return GdipGetImageWidth(i, n ? nullptr : &number); }},
        {"GetImageHeight",
         [&](GpImage i, bool n) { return GdipGetImageHeight(i, n ? nullptr : &number); }},
        {"GetImageHorizontalResolution",
         [&](GpImage i, bool n) {
             return GdipGetImageHorizontalResolution(i, n ? nullptr : &resolution);
         }},
        {"GetImageVerticalResolution",
         [&](GpImage i, bool n) {
             return GdipGetImageVerticalResolution(i, n ? nullptr : &resolution);
         }},
        {"GetImageRawFormat",
         [&](GpImage i, bool n) { return GdipGetImageRawFormat(i, n ? nullptr : &format); }},
        {"GetImagePixelFormat",
         [&](GpImage i, bool n) { return GdipGetImagePixelFormat(i, n ? nullptr : &pixelFormat); }},
        {"DisposeImage",
         [&](GpImage i, bool n) { return n ? InvalidParameter : GdipDisposeImage(i); }},
    };
    const std::pair<const char*, GpImage> badHandles[] = {
        {"zero", 0}, {"disposed", disposed}, {"made up", live + 12345}, {"GDI bitmap", gdiBitmap}};
    for (const auto& [callName, call] : calls) {
        SCOPED_TRACE(callName);
        for (const auto& [handleName, handle] : badHandles)
            EXPECT_EQ(call(handle, false), InvalidParameter) << handleName;
        EXPECT_EQ(call(live, true), InvalidParameter) << "null out-pointer";
    }
    EXPECT_EQ(bitmap, 0u);
    EXPECT_EQ(LiveGdipImages(), 1u);

    const std::u16string name = u"anything.png";
    GpImage image = 0;
    EXPECT_EQ(GdipCreateBitmapFromFile(nullptr, &image), InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromFile(name.c_str(), nullptr), InvalidParameter);

    EXPECT_EQ(GdipDisposeImage(live), Ok);
    EXPECT_EQ(GdipDisposeImage(live), InvalidParameter) << "disposed twice";
    DeleteObject(gdiBitmap);
}

TEST_F(GdiplusStarted, HandlesAreNeverReused) {
    std::vector<GpImage> seen;
    for (int i = 0; i < 20; ++i) {
        const GpImage image = AddImage(2, 2, TwoByTwoPixels, false, false);
        ASSERT_NE(image, 0u);
        for (GpImage earlier : seen) ASSERT_NE(image, earlier);
        seen.push_back(image);
        ASSERT_EQ(GdipDisposeImage(image), Ok);
    }
}

// --- Files that do not give an image ------------------------------------------------------

TEST_F(GdiplusStarted, StatusForFilesWithoutAPicture) {
    TempDir dir;
    WriteFileBytes(dir / "garbage.png", Bytes(300, 0x5A));
    WriteFileBytes(dir / "empty.bmp", {});
    WriteFileBytes(dir / "text.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
    fs::create_directory(dir / "folder.png");
    ASSERT_EQ(::mkfifo((dir / "pipe.gif").c_str(), 0600), 0);  // no writer: reads as empty
    struct Case {
        const char* name;
        fs::path path;
        GpStatus expected;
    };
    const Case cases[] = {
        {"missing file", dir / "missing.png", Win32Error},
        {"missing folder on the way", dir / "nowhere" / "picture.png", Win32Error},
        {"a file used as a folder", dir / "garbage.png" / "picture.png", Win32Error},
        {"empty name", fs::path(), Win32Error},
        {"a directory", dir / "folder.png", Win32Error},
        // What no decoder reads is OutOfMemory ("Invalid picture"), never UnknownImageFormat.
        {"garbage", dir / "garbage.png", OutOfMemory},
        {"empty file", dir / "empty.bmp", OutOfMemory},
        {"text", dir / "text.jpg", OutOfMemory},
        {"pipe without writer", dir / "pipe.gif", OutOfMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GpImage image = 0x1234;
        EXPECT_EQ(Load(c.path, image), c.expected);
        EXPECT_EQ(image, 0u);
    }
}

TEST_F(GdiplusStarted, FileWithoutReadPermissionIsAccessDenied) {
    TempDir dir;
    const fs::path path = dir / "locked.png";
    WriteFileBytes(path, BuildPng(2, 2, TwoByTwoPixels, false));
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    if (::geteuid() == 0 || ::access(path.c_str(), R_OK) == 0)
        GTEST_SKIP() << "this user can read a file without read permission (root)";
    GpImage image = 0;
    EXPECT_EQ(Load(path, image), AccessDenied);
}

// The name travels as UTF-16 and must come back as the same bytes to find the file.
TEST_F(GdiplusStarted, FindsFilesWhoseNamesAreNotAscii) {
    TempDir dir;
    const std::string names[] = {"caf\xC3\xA9.png", "\xF0\x9F\x98\x80.png", "bad\xFF\xFE.png",
                                 "\xC3(.png"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        WriteFileBytes(dir / name, Bytes(64, 0x5A));
        GpImage image = 0;
        // Not decoded (3), not missing (7): the file was found and read.
        EXPECT_EQ(Load(dir / name, image), OutOfMemory);
    }
}

struct BrokenFile {
    const char* name;
    Bytes file;
    GpStatus expected;
};

void ExpectStatuses(const std::vector<BrokenFile>& cases) {
    TempDir dir;
    for (const BrokenFile& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(dir / "broken", c.file);
        GpImage image = 0x1234;
        EXPECT_EQ(Load(dir / "broken", image), c.expected);
        EXPECT_EQ(image, 0u);
    }
}

TEST_F(GdiplusStarted, StatusForBrokenPng) {
    const Bytes png = BuildPng(2, 2, TwoByTwoPixels, true);
    if (!Decodes(codecs::DecodePng, png)) GTEST_SKIP() << "DecodePng does not decode PNG yet";
    Bytes badCrc = png;
    badCrc[8 + 4 + 4 + 2] ^= 0x01;  // the width in IHDR changes; its CRC no longer matches
    ExpectStatuses({
        {"cut inside the pixels", Bytes(png.begin(), png.end() - 30), OutOfMemory},
        {"cut inside the header", Bytes(png.begin(), png.begin() + 20), OutOfMemory},
        {"bad CRC", badCrc, OutOfMemory},
        {"declaring 60000 x 60000", PngFile(60000, 60000, 6, Bytes(10, 0), 0), ValueOverflow},
    });
}

TEST_F(GdiplusStarted, StatusForBrokenBmp) {
    const Bytes bmp = BuildBmp24(2, 2, TwoByTwoPixels, 2835);
    if (!Decodes(codecs::DecodeBmp, bmp)) GTEST_SKIP() << "DecodeBmp does not decode BMP yet";
    ExpectStatuses({
        {"cut inside the pixels", Bytes(bmp.begin(), bmp.end() - 5), OutOfMemory},
        {"declaring 50000 x 50000", BuildBmp24(50000, 50000, {}, 0), ValueOverflow},
    });
}

// --- Images from pictures written here ------------------------------------------------------

struct OwnPicture {
    const char* name;
    Bytes file;
    Decoder decoder;
    const char* rawFormat;  // as StringFromGUID2 writes it
    int32_t width;
    int32_t height;
    float dpi;  // 0: no resolution in the file, so 96
    // Top-down, over black and over Background; empty when only the decoder's own
    // pixels are the measure (a lossy format).
    std::vector<uint32_t> overBlack;
    std::vector<uint32_t> overBackground;
    int tolerance;
};

constexpr ARGB Background = 0xFF4080C0;

const char* const PngGuid = "{B96B3CAF-0728-11D3-9D7B-0000F81EF32E}";

std::vector<uint32_t> Over(const std::vector<uint32_t>& pixels, bool premultiplied, ARGB back) {
    std::vector<uint32_t> out;
    for (uint32_t pixel : pixels) out.push_back(ExpectedOver(pixel, true, premultiplied, back));
    return out;
}

std::vector<OwnPicture> OwnPictures() {
    const std::vector<uint32_t> straight = {0x80FF0000, 0x00123456, 0xFF00FF00,
                                            0x40102030, 0xC0FFFFFF, 0xFF0000FF};
    const std::vector<uint32_t> opaque = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                          0xFF808080, 0xFFFFFFFF, 0xFF000000};
    const std::vector<uint32_t> premultiplied = {0x80800000, 0x00000000, 0xFF00FF00,
                                                 0x40102030, 0xC0C0C0C0, 0xFF0000FF};
    // Index 3 is transparent: black with alpha 0.
    const std::array<uint32_t, 4> palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    const std::vector<uint8_t> indices = {0, 1, 2, 3, 3, 0};
    std::vector<uint32_t> gif;
    for (uint8_t index : indices) gif.push_back(index == 3 ? 0 : 0xFF000000 | palette[index]);
    const Bytes alphaPng = BuildPng(3, 2, straight, true, 11811);
    return {
        {"PngWithAlphaAt300Dpi", alphaPng, codecs::DecodePng, PngGuid, 3, 2, 300,
         Over(straight, false, 0), Over(straight, false, Background), 0},
        {"PngWithoutAlphaOrResolution", BuildPng(3, 2, opaque, false), codecs::DecodePng, PngGuid,
         3, 2, 0, opaque, opaque, 0},
        {"Bmp24BitsAt72Dpi", BuildBmp24(3, 2, opaque, 2835), codecs::DecodeBmp,
         "{B96B3CAB-0728-11D3-9D7B-0000F81EF32E}", 3, 2, 72, opaque, opaque, 0},
        {"GifWithATransparentColour", BuildGif(3, 2, palette, indices, 3), codecs::DecodeGif,
         "{B96B3CB0-0728-11D3-9D7B-0000F81EF32E}", 3, 2, 0, Over(gif, false, 0),
         Over(gif, false, Background), 0},
        // The decoder may hand the colours back premultiplied or not: one step of rounding.
        {"TiffWithPremultipliedAlphaAt300Dpi", BuildTiffPremultiplied(3, 2, premultiplied),
         codecs::DecodeTiff, "{B96B3CB1-0728-11D3-9D7B-0000F81EF32E}", 3, 2, 300,
         Over(premultiplied, true, 0), Over(premultiplied, true, Background), 1},
        {"IconHoldingAPng", BuildIconFile(1, 3, 2, alphaPng), codecs::DecodeIconAsPicture,
         "{B96B3CB5-0728-11D3-9D7B-0000F81EF32E}", 3, 2, 0, Over(straight, false, 0),
         Over(straight, false, Background), 0},
        {"CursorHoldingAPng", BuildIconFile(2, 3, 2, alphaPng), codecs::DecodeIconAsPicture,
         "{B96B3CB5-0728-11D3-9D7B-0000F81EF32E}", 3, 2, 0, Over(straight, false, 0),
         Over(straight, false, Background), 0},
    };
}

std::string WithinTolerance(const std::vector<uint32_t>& actual,
                            const std::vector<uint32_t>& expected, int tolerance) {
    if (actual.size() != expected.size()) return Differences(actual, expected);
    for (size_t i = 0; i < actual.size(); ++i)
        for (int shift : {0, 8, 16, 24})
            if (std::abs(ChannelOf(actual[i], shift) - ChannelOf(expected[i], shift)) > tolerance)
                return "pixel " + std::to_string(i) + ": " + Hex(actual[i]) + " expected " +
                       Hex(expected[i]);
    return {};
}

// Loads `path` and checks the image against what the decoder itself makes of the bytes:
// the same size and pixel format, its resolution (96 when it states none), and GDI bitmaps
// whose pixels are the decoded ones composited the plain way. Returns the image, disposed
// of by the caller.
GpImage LoadAndCompareWithDecoder(const fs::path& path, const DecodedPicture& decoded,
                                  Decoder decoder, const std::string& rawFormat) {
    GpImage image = 0;
    EXPECT_EQ(Load(path, image), Ok);
    if (image == 0) return 0;
    uint32_t width = 0, height = 0;
    float dpiX = 0, dpiY = 0;
    GUID format{};
    PixelFormatCode pixelFormat = 0;
    EXPECT_EQ(GdipGetImageWidth(image, &width), Ok);
    EXPECT_EQ(GdipGetImageHeight(image, &height), Ok);
    EXPECT_EQ(GdipGetImageHorizontalResolution(image, &dpiX), Ok);
    EXPECT_EQ(GdipGetImageVerticalResolution(image, &dpiY), Ok);
    EXPECT_EQ(GdipGetImageRawFormat(image, &format), Ok);
    EXPECT_EQ(GdipGetImagePixelFormat(image, &pixelFormat), Ok);
    EXPECT_EQ(width, static_cast<uint32_t>(decoded.width));
    EXPECT_EQ(height, static_cast<uint32_t>(decoded.height));
    EXPECT_EQ(dpiX, decoded.dpiX > 0 ? decoded.dpiX : 96.0f);
    EXPECT_EQ(dpiY, decoded.dpiY > 0 ? decoded.dpiY : 96.0f);
    EXPECT_EQ(GuidText(format), rawFormat);
    EXPECT_EQ(pixelFormat, GdipPixelFormatOf(RowOf(decoder), decoded.source));

    const std::vector<uint32_t> source = TopDown(*decoded.pixels);
    for (ARGB background : {0x00000000u, 0xFF000000u, Background, 0x00FFFFFFu}) {
        SCOPED_TRACE("background " + Hex(background));
        HBITMAP bitmap = 0;
        EXPECT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, background), Ok);
        if (bitmap == 0) continue;
        BITMAP info{};
        EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
        EXPECT_EQ(info.bmBitsPixel, 32) << "GDI+ hands out 32-bit bitmaps";
        std::vector<uint32_t> expected;
        for (uint32_t pixel : source)
            expected.push_back(
                ExpectedOver(pixel, decoded.HasAlpha(),
                             decoded.source.alpha == codecs::AlphaKind::Premultiplied, background));
        EXPECT_EQ(Differences(ReadBack(bitmap, decoded.width, decoded.height), expected), "");
        EXPECT_EQ(DeleteObject(bitmap), 1);
    }
    return image;
}

class OwnPictureImages : public GdiplusStarted, public ::testing::WithParamInterface<size_t> {};

TEST_P(OwnPictureImages, MatchWhatWasWritten) {
    const OwnPicture picture = OwnPictures()[GetParam()];
    DecodedPicture decoded;
    const CodecStatus decodedStatus =
        picture.decoder(picture.file, codecs::DefaultDecodeLimits, decoded).status;
    if (decodedStatus == CodecStatus::NotMyFormat)
        GTEST_SKIP() << "its decoder does not recognise the format yet";
    ASSERT_EQ(decodedStatus, CodecStatus::Ok);
    TempDir dir;
    const fs::path path = dir / "picture.wmf";  // a misleading extension: the content decides
    WriteFileBytes(path, picture.file);
    const GpImage image =
        LoadAndCompareWithDecoder(path, decoded, picture.decoder, picture.rawFormat);
    ASSERT_NE(image, 0u);
    uint32_t width = 0, height = 0;
    float dpiX = 0, dpiY = 0;
    EXPECT_EQ(GdipGetImageWidth(image, &width), Ok);
    EXPECT_EQ(GdipGetImageHeight(image, &height), Ok);
    EXPECT_EQ(GdipGetImageHorizontalResolution(image, &dpiX), Ok);
    EXPECT_EQ(GdipGetImageVerticalResolution(image, &dpiY), Ok);
    EXPECT_EQ(width, static_cast<uint32_t>(picture.width));
    EXPECT_EQ(height, static_cast<uint32_t>(picture.height));
    const float dpi = picture.dpi == 0 ? 96.0f : picture.dpi;
    EXPECT_NEAR(dpiX, dpi, 0.05);
    EXPECT_NEAR(dpiY, dpi, 0.05);
    for (const auto& [background, expected] :
         {std::pair{ARGB{0}, picture.overBlack}, std::pair{Background, picture.overBackground}}) {
        HBITMAP bitmap = 0;
        ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, background), Ok);
        EXPECT_EQ(WithinTolerance(ReadBack(bitmap, picture.width, picture.height), expected,
                                  picture.tolerance),
                  "")
            << "background " << Hex(background);
        DeleteObject(bitmap);
    }
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

INSTANTIATE_TEST_SUITE_P(Formats, OwnPictureImages,
                         ::testing::Range<size_t>(0, OwnPictures().size()),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                             return std::string(OwnPictures()[param.param].name);
                         });

// --- Images from the codec fixtures ---------------------------------------------------------

struct FixtureFormat {
    std::vector<const char*> folders;  // under the test data folder
    Decoder decoder;
    const char* rawFormat;
};

GpStatus ExpectedStatus(CodecStatus status) {
    switch (status) {
        case CodecStatus::Ok: return Ok;
        case CodecStatus::NotMyFormat: return OutOfMemory;
        case CodecStatus::Corrupt: return OutOfMemory;
        case CodecStatus::LibraryMissing: return OutOfMemory;
        case CodecStatus::TooLarge: return ValueOverflow;
        case CodecStatus::OutOfMemory: return OutOfMemory;
        case CodecStatus::Unsupported: return NotImplemented;
    }
    return GenericError;
}

// Test names and failure messages show the folder, not the bytes.
void PrintTo(const FixtureFormat& format, std::ostream* out) {
    *out << format.folders.front();
}

class FixtureImages : public GdiplusStarted, public ::testing::WithParamInterface<FixtureFormat> {};

// Every fixture the format's decoder accepts loads with the decoder's size, pixel format,
// resolution and pixels, and the format's raw-format GUID; every one it refuses fails with
// the status that belongs to the decoder's.
TEST_P(FixtureImages, MatchTheirDecoder) {
    const FixtureFormat& format = GetParam();
    int decodedFixtures = 0;
    for (const char* folder : format.folders) {
        const fs::path root = TestData(folder);
        if (!fs::is_directory(root)) continue;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;
            SCOPED_TRACE(entry.path().string());
            const Bytes file = ReadFileBytes(entry.path());
            DecodedPicture decoded;
            const CodecStatus status =
                format.decoder(file, codecs::DefaultDecodeLimits, decoded).status;
            if (status == CodecStatus::NotMyFormat) continue;  // a reference or a script
            if (status != CodecStatus::Ok) {
                GpImage image = 0;
                EXPECT_EQ(Load(entry.path(), image), ExpectedStatus(status));
                if (image != 0) GdipDisposeImage(image);
                continue;
            }
            ++decodedFixtures;
            const GpImage image =
                LoadAndCompareWithDecoder(entry.path(), decoded, format.decoder, format.rawFormat);
            if (image != 0) {
                EXPECT_EQ(GdipDisposeImage(image), Ok);
            }
        }
    }
    if (decodedFixtures == 0)
        GTEST_SKIP() << "no fixture under " << format.folders.front()
                     << " that its decoder decodes: the decoder or its fixtures have not landed";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FixtureImages,
    ::testing::Values(
        FixtureFormat{{"png"}, codecs::DecodePng, "{B96B3CAF-0728-11D3-9D7B-0000F81EF32E}"},
        FixtureFormat{
            {"tiff", "tif"}, codecs::DecodeTiff, "{B96B3CB1-0728-11D3-9D7B-0000F81EF32E}"},
        FixtureFormat{{"webp"}, codecs::DecodeWebp, "{4583D9BD-0C09-4302-8FDD-3EFB7DA27E1A}"},
        FixtureFormat{{"bmp"}, codecs::DecodeBmp, "{B96B3CAB-0728-11D3-9D7B-0000F81EF32E}"},
        FixtureFormat{{"gif"}, codecs::DecodeGif, "{B96B3CB0-0728-11D3-9D7B-0000F81EF32E}"},
        FixtureFormat{
            {"jpeg", "jpg"}, codecs::DecodeJpeg, "{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}"},
        FixtureFormat{{"heif"}, codecs::DecodeHeif, "{2B82B3C9-344A-4092-AF1B-472168834FE3}"},
        FixtureFormat{{"avif"}, codecs::DecodeAvif, "{C23B6206-BFFC-4974-9344-EA0596821B6F}"},
        FixtureFormat{{"jxl"}, codecs::DecodeJxl, "{B54AAB35-D855-494B-B39C-F62A75F983D0}"},
        FixtureFormat{{"ico", "icon", "cur"},
                      codecs::DecodeIconAsPicture,
                      "{B96B3CB5-0728-11D3-9D7B-0000F81EF32E}"}),
    [](const ::testing::TestParamInfo<FixtureFormat>& param) {
        return std::string(param.param.folders.front());
    });

// --- GDI bitmaps from images ----------------------------------------------------------------

TEST_F(GdiplusStarted, BitmapOverBackgroundPerAlphaKind) {
    const std::vector<uint32_t> pixels = {0x00FFFFFF, 0x80FF8040, 0xFF102030, 0x01FFFFFF};
    struct Case {
        const char* name;
        bool hasAlpha;
        bool premultiplied;
        ARGB background;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {"no alpha: unchanged, made opaque",
         false,
         false,
         0xFF4080C0,
         {0xFFFFFFFF, 0xFFFF8040, 0xFF102030, 0xFFFFFFFF}},
        {"straight over black", true, false, 0, {0xFF000000, 0xFF804020, 0xFF102030, 0xFF010101}},
        {"straight over white",
         true,
         false,
         0xFFFFFFFF,
         {0xFFFFFFFF, 0xFFFFBF9F, 0xFF102030, 0xFFFFFFFF}},
        {"straight: the background's alpha is ignored",
         true,
         false,
         0x00FFFFFF,
         {0xFFFFFFFF, 0xFFFFBF9F, 0xFF102030, 0xFFFFFFFF}},
        {"straight over a colour",
         true,
         false,
         0x804080C0,
         {0xFF4080C0, 0xFFA08080, 0xFF102030, 0xFF4180C0}},
        {"premultiplied over black",
         true,
         true,
         0,
         {0xFFFFFFFF, 0xFFFF8040, 0xFF102030, 0xFFFFFFFF}},
        {"premultiplied over a colour, saturating",
         true,
         true,
         0xFF4080C0,
         {0xFFFFFFFF, 0xFFFFC0A0, 0xFF102030, 0xFFFFFFFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GpImage image = AddImage(2, 2, pixels, c.hasAlpha, c.premultiplied);
        HBITMAP bitmap = 0;
        ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &bitmap, c.background), Ok);
        EXPECT_EQ(Differences(ReadBack(bitmap, 2, 2), c.expected), "");
        EXPECT_EQ(DeleteObject(bitmap), 1);
        EXPECT_EQ(GdipDisposeImage(image), Ok);
    }
}

TEST_F(GdiplusStarted, OpaqueImagesShareTheirPixels) {
    const GpImage image = AddImage(2, 2, TwoByTwoPixels, false, false);
    const std::shared_ptr<PixelStore> own = FindGdipImage(image)->pixels;
    HBITMAP first = 0, second = 0;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &first, 0xFFFFFFFF), Ok);
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &second, 0), Ok);
    EXPECT_NE(first, second);
    EXPECT_EQ(BitmapPixels(first), own);
    EXPECT_EQ(BitmapPixels(second), own);

    // The bitmaps outlive the image, and keep its pixels.
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    EXPECT_EQ(own.use_count(), 3);
    EXPECT_EQ(Differences(ReadBack(first, 2, 2), TwoByTwoPixels), "");
    EXPECT_EQ(DeleteObject(first), 1);
    EXPECT_EQ(DeleteObject(second), 1);
    EXPECT_EQ(own.use_count(), 1) << "freed once nobody shares it";
}

TEST_F(GdiplusStarted, ImagesWithAlphaGetTheirOwnBitmapPixels) {
    const std::vector<uint32_t> pixels = {0x00FFFFFF, 0x80FF8040, 0xFF102030, 0x01FFFFFF};
    const GpImage image = AddImage(2, 2, pixels, true, false);
    const std::shared_ptr<PixelStore> own = FindGdipImage(image)->pixels;
    HBITMAP overBlack = 0, overWhite = 0;
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &overBlack, 0), Ok);
    ASSERT_EQ(GdipCreateHBITMAPFromBitmap(image, &overWhite, 0xFFFFFFFF), Ok);
    EXPECT_NE(BitmapPixels(overBlack), own);
    EXPECT_NE(BitmapPixels(overWhite), BitmapPixels(overBlack));
    EXPECT_EQ(Differences(TopDown(*own), pixels), "") << "the image keeps its alpha";
    EXPECT_EQ(ReadBack(overBlack, 2, 2)[0], 0xFF000000u) << "one composite leaves the other be";
    EXPECT_EQ(GdipDisposeImage(image), Ok);
    EXPECT_EQ(ReadBack(overWhite, 2, 2)[0], 0xFFFFFFFFu);
    DeleteObject(overBlack);
    DeleteObject(overWhite);
}

// --- The arithmetic -------------------------------------------------------------------------

TEST(GdiplusCompositing, DivisionBy255RoundsLikeDividing) {
    for (uint32_t x = 0; x <= 255 * 255; ++x)
        ASSERT_EQ(DivideBy255Rounded(x), (x + 127) / 255) << x;
}

// Every colour with every alpha, red, green and blue differing, so that a carry from one
// channel into the next shows.
std::vector<uint32_t> AllColourAlphaPairs(bool premultipliedOnly) {
    std::vector<uint32_t> pixels;
    for (uint32_t alpha = 0; alpha < 256; ++alpha)
        for (uint32_t colour = 0; colour < 256; ++colour) {
            if (premultipliedOnly && colour > alpha) continue;
            const uint32_t green = premultipliedOnly ? alpha - colour : 255 - colour;
            const uint32_t blue = (colour * 7 + 3) % (premultipliedOnly ? alpha + 1 : 256);
            pixels.push_back((alpha << 24) | (colour << 16) | (green << 8) | blue);
        }
    return pixels;
}

TEST(GdiplusCompositing, EveryColourAndAlphaMatchesThePlainFormula) {
    struct Case {
        const char* name;
        bool premultiplied;
        bool validPremultipliedOnly;
    };
    const Case cases[] = {
        {"straight alpha", false, false},
        {"premultiplied alpha", true, true},
        {"premultiplied with colours above alpha (saturates)", true, false},
    };
    for (const Case& c : cases) {
        const std::vector<uint32_t> source = AllColourAlphaPairs(c.validPremultipliedOnly);
        for (ARGB background : {0x00000000u, 0xFF000000u, 0x00C08040u, 0x7F010203u, 0xFFFFFFFFu,
                                0x00FE00FFu, 0x00FF0000u, 0x0000FF00u, 0x000000FFu}) {
            SCOPED_TRACE(std::string(c.name) + " over " + Hex(background));
            std::vector<uint32_t> out(source.size());
            if (c.premultiplied)
                CompositePremultipliedAlpha(source.data(), out.data(), source.size(), background);
            else
                CompositeStraightAlpha(source.data(), out.data(), source.size(), background);
            std::vector<uint32_t> expected;
            for (uint32_t pixel : source)
                expected.push_back(ExpectedOver(pixel, true, c.premultiplied, background));
            EXPECT_EQ(Differences(out, expected), "");
        }
    }
}

// --- GUID text ------------------------------------------------------------------------------

TEST(GdiplusGuidText, RegistryFormUpperCase) {
    struct Case {
        GUID guid;
        const char* text;
    };
    const Case cases[] = {
        {GUID{0xB96B3CAF, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
         "{B96B3CAF-0728-11D3-9D7B-0000F81EF32E}"},
        {GUID{}, "{00000000-0000-0000-0000-000000000000}"},
        {GUID{0x01234567, 0x89AB, 0xCDEF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}},
         "{01234567-89AB-CDEF-FEDC-BA9876543210}"},
        {GUID{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
         "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
    };
    for (const Case& c : cases) {
        char16_t buffer[50];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        ASSERT_EQ(StringFromGUID2(c.guid, buffer, 50), 39);
        EXPECT_EQ(buffer[38], u'\0');
        EXPECT_EQ(buffer[39], u'#') << "nothing written past the NUL";
        EXPECT_EQ(GuidText(c.guid), c.text);
    }
}

TEST(GdiplusGuidText, TooSmallABufferGetsNothing) {
    for (int capacity : {0, 1, 38, -1}) {
        char16_t buffer[40];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(StringFromGUID2(GUID{}, buffer, capacity), 0) << capacity;
        EXPECT_EQ(buffer[0], u'#') << capacity;
    }
    EXPECT_EQ(StringFromGUID2(GUID{}, nullptr, 39), 0);
    char16_t exact[39];
    EXPECT_EQ(StringFromGUID2(GUID{}, exact, 39), 39);
}

}  // namespace
}  // namespace pic2pnm

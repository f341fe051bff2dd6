// The GDI stand-in: handles, the device-independent copy, bitmap and icon information and
// enhanced-metafile headers.
#include "imaging/gdi/gdi.h"
#include "testing/testing_hooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace pic2pnm {
namespace {

// A bitmap whose pixels count up from `first`, bottom row first.
HBITMAP MakeBitmap(int32_t width, int32_t height, uint16_t bitsPerPixel, uint32_t first = 1) {
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(width, height);
    EXPECT_NE(store, nullptr);
    for (size_t i = 0; i < store->PixelCount(); ++i) store->Data()[i] = first + uint32_t(i);
    return CreateBitmapObject(store, bitsPerPixel);
}

BITMAPINFOHEADER Header32(int32_t width, int32_t height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}

ENHMETAHEADER SampleEnhHeader() {
    ENHMETAHEADER header{};
    header.iType = 1;
    header.nSize = 108;
    header.rclBounds = RECTL{1, 2, 30, 40};
    header.rclFrame = RECTL{0, 0, 2540, 1270};
    header.dSignature = 0x464D4520;
    header.nBytes = 4096;
    header.szlDevice = SIZEL{1024, 768};
    header.bOpenGL = 0xCAFE;
    return header;
}

class GdiTest : public ::testing::Test {
  protected:
    void SetUp() override { liveAtStart_ = LiveGdiObjects(); }
    void TearDown() override { EXPECT_EQ(LiveGdiObjects(), liveAtStart_); }

  private:
    size_t liveAtStart_ = 0;
};

TEST_F(GdiTest, StaleUnknownAndWronglyTypedHandlesFailWithZero) {
    const HBITMAP bitmap = MakeBitmap(2, 2, 32);
    const HBITMAP stale = MakeBitmap(2, 2, 32);
    ASSERT_EQ(DeleteObject(stale), 1);
    const HMETAFILE metafile = CreateMetaFileObject();
    const HENHMETAFILE enhMetafile = CreateEnhMetaFileObject(SampleEnhHeader());
    const HBITMAP mask = MakeBitmap(2, 2, 1);
    const HICON icon = CreateIconObject(true, 0, 0, mask, 0);
    const HDC dc = GetDC(0);
    ASSERT_NE(bitmap, 0u);
    ASSERT_NE(metafile, 0u);
    ASSERT_NE(enhMetafile, 0u);
    ASSERT_NE(icon, 0u);
    ASSERT_NE(dc, 0u);

    struct Call {
        const char* name;
        std::function<long long(HANDLE32)> call;
        std::vector<HANDLE32> goodFor;  // handles for which the call succeeds
    };
    const std::vector<Call> calls = {
        {"GetObjectA",
         [](HANDLE32 h) {
             BITMAP info{};
             return GetObjectA(h, sizeof info, &info);
         },
         {bitmap, mask}},
        {"GetIconInfo",
         [](HANDLE32 h) {
             ICONINFO info{};
             const int32_t result = GetIconInfo(h, &info);
             if (result != 0) DeleteObject(info.hbmMask);
             return result;
         },
         {icon}},
        {"GetEnhMetaFileHeader",
         [](HANDLE32 h) {
             ENHMETAHEADER header{};
             return GetEnhMetaFileHeader(h, sizeof header, &header);
         },
         {enhMetafile}},
        {"GetDIBits with the handle as bitmap",
         [dc](HANDLE32 h) {
             BITMAPINFOHEADER header = Header32(2, 2);
             uint32_t bits[4] = {};
             return GetDIBits(dc, h, 0, 2, bits, &header, DIB_RGB_COLORS);
         },
         {bitmap, mask}},
        {"GetDIBits with the handle as device context",
         [bitmap](HANDLE32 h) {
             BITMAPINFOHEADER header = Header32(2, 2);
             uint32_t bits[4] = {};
             return GetDIBits(h, bitmap, 0, 2, bits, &header, DIB_RGB_COLORS);
         },
         {dc}},
        {"BitmapPixels", [](HANDLE32 h) { return BitmapPixels(h) ? 1 : 0; }, {bitmap, mask}},
    };
    const std::vector<HANDLE32> handles = {0,    stale, bitmap, metafile,    enhMetafile,
                                           mask, icon,  dc,     0xFFFFFFFFu, 0x12345u};
    for (const Call& call : calls) {
        for (const HANDLE32 handle : handles) {
            SCOPED_TRACE(::testing::Message() << call.name << " handle " << std::hex << handle);
            const bool good =
                std::find(call.goodFor.begin(), call.goodFor.end(), handle) != call.goodFor.end();
            EXPECT_EQ(call.call(handle) != 0, good);
        }
    }

    // Freeing calls refuse handles of other types and leave those objects alone.
    for (const HANDLE32 handle : {HANDLE32(0), stale, metafile, enhMetafile, icon, dc}) {
        SCOPED_TRACE(::testing::Message() << "DeleteObject " << std::hex << handle);
        EXPECT_EQ(DeleteObject(handle), 0);
    }
    for (const HANDLE32 handle : {HANDLE32(0), stale, bitmap, enhMetafile, icon, dc})
        EXPECT_EQ(DeleteMetaFile(handle), 0);
    for (const HANDLE32 handle : {HANDLE32(0), stale, bitmap, metafile, icon, dc})
        EXPECT_EQ(DeleteEnhMetaFile(handle), 0);
    for (const HANDLE32 handle : {HANDLE32(0), stale, bitmap, metafile, enhMetafile, dc, mask})
        EXPECT_EQ(DestroyIcon(handle), 0);
    for (const HANDLE32 handle : {HANDLE32(0), stale, bitmap, metafile, enhMetafile, icon})
        EXPECT_EQ(ReleaseDC(0, handle), 0);
    EXPECT_EQ(ReleaseDC(1, dc), 0);  // only the screen's device context is handed out

    EXPECT_EQ(ReleaseDC(0, dc), 1);
    EXPECT_EQ(ReleaseDC(0, dc), 0);
    EXPECT_EQ(DestroyIcon(icon), 1);  // frees the mask with it
    EXPECT_EQ(DeleteObject(mask), 0);
    EXPECT_EQ(DeleteObject(bitmap), 1);
    EXPECT_EQ(DeleteObject(bitmap), 0);
    EXPECT_EQ(DeleteMetaFile(metafile), 1);
    EXPECT_EQ(DeleteMetaFile(metafile), 0);
    EXPECT_EQ(DeleteEnhMetaFile(enhMetafile), 1);
    EXPECT_EQ(DeleteEnhMetaFile(enhMetafile), 0);
}

TEST_F(GdiTest, HandlesAreNotReused) {
    const HBITMAP first = MakeBitmap(1, 1, 32);
    ASSERT_EQ(DeleteObject(first), 1);
    const HBITMAP second = MakeBitmap(1, 1, 32);
    EXPECT_NE(second, first);
    EXPECT_EQ(BitmapPixels(first), nullptr);
    EXPECT_EQ(DeleteObject(first), 0);
    EXPECT_EQ(DeleteObject(second), 1);
}

TEST_F(GdiTest, MakingObjectsFromNothingFails) {
    EXPECT_EQ(CreateBitmapObject(nullptr, 32), 0u);
    const HBITMAP stale = MakeBitmap(1, 1, 1);
    ASSERT_EQ(DeleteObject(stale), 1);
    const HBITMAP bitmap = MakeBitmap(1, 1, 1);
    const HMETAFILE metafile = CreateMetaFileObject();
    EXPECT_EQ(CreateIconObject(true, 0, 0, 0, 0), 0u);
    EXPECT_EQ(CreateIconObject(true, 0, 0, stale, 0), 0u);
    EXPECT_EQ(CreateIconObject(true, 0, 0, metafile, 0), 0u);
    EXPECT_EQ(CreateIconObject(true, 0, 0, bitmap, stale), 0u);
    EXPECT_EQ(CreateIconObject(true, 0, 0, bitmap, metafile), 0u);
    EXPECT_EQ(DeleteObject(bitmap), 1);
    EXPECT_EQ(DeleteMetaFile(metafile), 1);
}

TEST_F(GdiTest, GetDIBitsCopiesRowsBottomUpOrTopDown) {
    // 3 x 4 pixels counting up from 1, bottom row first: rows from the bottom are
    // {1,2,3} {4,5,6} {7,8,9} {10,11,12}.
    const HBITMAP bitmap = MakeBitmap(3, 4, 32);
    const HDC dc = GetDC(0);
    struct Case {
        const char* name;
        int32_t height;  // negative asks for top-down rows
        uint32_t startScan;
        uint32_t lines;
        int copied;
        std::vector<uint32_t> bits;
    };
    const std::vector<Case> cases = {
        {"all rows bottom-up", 4, 0, 4, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"all rows top-down", -4, 0, 4, 4, {10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3}},
        {"middle rows bottom-up", 4, 1, 2, 2, {4, 5, 6, 7, 8, 9}},
        {"middle rows top-down", -4, 1, 2, 2, {7, 8, 9, 4, 5, 6}},
        {"more lines than there are", 4, 2, 10, 2, {7, 8, 9, 10, 11, 12}},
        {"the top row only", 4, 3, 1, 1, {10, 11, 12}},
        {"zero lines", 4, 0, 0, 0, {}},
        {"start at the height", 4, 4, 1, 0, {}},
        {"start beyond the height", 4, 100, 1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> bits(13, 0xEEEEEEEEu);
        BITMAPINFOHEADER header = Header32(3, c.height);
        EXPECT_EQ(GetDIBits(dc, bitmap, c.startScan, c.lines, bits.data(), &header, DIB_RGB_COLORS),
                  c.copied);
        std::vector<uint32_t> expected = c.bits;
        expected.resize(13, 0xEEEEEEEEu);
        EXPECT_EQ(bits, expected);
    }
    EXPECT_EQ(ReleaseDC(0, dc), 1);
    EXPECT_EQ(DeleteObject(bitmap), 1);
}

TEST_F(GdiTest, GetDIBitsRefusesHeadersItDoesNotSupport) {
    const HBITMAP bitmap = MakeBitmap(3, 2, 24);
    const HDC dc = GetDC(0);
    struct Case {
        const char* name;
        std::function<void(BITMAPINFOHEADER&)> change;
    };
    const std::vector<Case> cases = {
        {"24 bits a pixel", [](BITMAPINFOHEADER& h) { h.biBitCount = 24; }},
        {"8 bits a pixel", [](BITMAPINFOHEADER& h) { h.biBitCount = 8; }},
        {"bit fields", [](BITMAPINFOHEADER& h) { h.biCompression = 3; }},
        {"two planes", [](BITMAPINFOHEADER& h) { h.biPlanes = 2; }},
        {"short header", [](BITMAPINFOHEADER& h) { h.biSize = 12; }},
        {"narrower", [](BITMAPINFOHEADER& h) { h.biWidth = 2; }},
        {"wider", [](BITMAPINFOHEADER& h) { h.biWidth = 4; }},
        {"negative width", [](BITMAPINFOHEADER& h) { h.biWidth = -3; }},
        {"lower", [](BITMAPINFOHEADER& h) { h.biHeight = 1; }},
        {"higher top-down", [](BITMAPINFOHEADER& h) { h.biHeight = -3; }},
        {"height 0", [](BITMAPINFOHEADER& h) { h.biHeight = 0; }},
        {"most negative height", [](BITMAPINFOHEADER& h) { h.biHeight = INT32_MIN; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BITMAPINFOHEADER header = Header32(3, 2);
        c.change(header);
        std::vector<uint32_t> bits(6, 0xEEEEEEEEu);
        EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, bits.data(), &header, DIB_RGB_COLORS), 0);
        EXPECT_EQ(bits, std::vector<uint32_t>(6, 0xEEEEEEEEu));
    }
    BITMAPINFOHEADER header = Header32(3, 2);
    std::vector<uint32_t> bits(6);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, bits.data(), &header, 1), 0);  // palette indices
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, nullptr, &header, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, bits.data(), nullptr, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, bits.data(), &header, DIB_RGB_COLORS), 2);
    EXPECT_EQ(ReleaseDC(0, dc), 1);
    EXPECT_EQ(DeleteObject(bitmap), 1);
}

TEST_F(GdiTest, GetDIBitsNeedsALiveScreenDeviceContext) {
    const HBITMAP bitmap = MakeBitmap(1, 1, 32);
    const HDC released = GetDC(0);
    ASSERT_EQ(ReleaseDC(0, released), 1);
    BITMAPINFOHEADER header = Header32(1, 1);
    uint32_t bits = 0;
    EXPECT_EQ(GetDIBits(released, bitmap, 0, 1, &bits, &header, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(0, bitmap, 0, 1, &bits, &header, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDC(5), 0u);  // no window but the screen has a device context here

    SetScreenDcUnavailableForTesting(true);
    EXPECT_EQ(GetDC(0), 0u);
    SetScreenDcUnavailableForTesting(false);
    const HDC dc = GetDC(0);
    EXPECT_NE(dc, 0u);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 1, &bits, &header, DIB_RGB_COLORS), 1);
    EXPECT_EQ(bits, 1u);
    EXPECT_EQ(ReleaseDC(0, dc), 1);
    EXPECT_EQ(DeleteObject(bitmap), 1);
}

TEST_F(GdiTest, GetObjectDescribesTheBitmap) {
    struct Case {
        int32_t width;
        int32_t height;
        uint16_t bitsPerPixel;
        int32_t widthBytes;  // rows padded to 16 bits
    };
    const std::vector<Case> cases = {
        {1, 1, 1, 2},   {16, 3, 1, 2},  {17, 3, 1, 4}, {3, 2, 8, 4},
        {3, 5, 24, 10}, {5, 1, 32, 20}, {7, 9, 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.width << "x" << c.height << " at " << c.bitsPerPixel);
        const HBITMAP bitmap = MakeBitmap(c.width, c.height, c.bitsPerPixel);
        BITMAP info;
        std::memset(&info, 0xAB, sizeof info);
        EXPECT_EQ(GetObjectA(bitmap, sizeof info, &info), int(sizeof(BITMAP)));
        EXPECT_EQ(info.bmType, 0);
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, c.height);
        EXPECT_EQ(info.bmWidthBytes, c.widthBytes);
        EXPECT_EQ(info.bmPlanes, 1);
        EXPECT_EQ(info.bmBitsPixel, c.bitsPerPixel);
        EXPECT_EQ(info.bmBits, 0u);

        // A buffer too small for the record is left alone.
        BITMAP small;
        std::memset(&small, 0xAB, sizeof small);
        EXPECT_EQ(GetObjectA(bitmap, sizeof small - 1, &small), 0);
        EXPECT_EQ(small.bmWidth, int32_t(0xABABABABu));
        EXPECT_EQ(GetObjectA(bitmap, sizeof info, nullptr), 0);
        EXPECT_EQ(DeleteObject(bitmap), 1);
    }
}

TEST_F(GdiTest, GetIconInfoMakesNewBitmapsTheCallerDeletes) {
    struct Case {
        const char* name;
        bool isIcon;
        bool withColour;
    };
    const std::vector<Case> cases = {
        {"colour icon", true, true},
        {"monochrome icon", true, false},
        {"colour cursor", false, true},
        {"monochrome cursor", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t liveBefore = LiveGdiObjects();
        const HBITMAP mask = MakeBitmap(2, c.withColour ? 2 : 4, 1, 100);
        const HBITMAP colour = c.withColour ? MakeBitmap(2, 2, 32, 200) : 0;
        const HICON icon = CreateIconObject(c.isIcon, 3, 4, mask, colour);
        ASSERT_NE(icon, 0u);

        ICONINFO info{};
        ASSERT_NE(GetIconInfo(icon, &info), 0);
        EXPECT_EQ(info.fIcon != 0, c.isIcon);
        EXPECT_EQ(info.xHotspot, 3u);
        EXPECT_EQ(info.yHotspot, 4u);
        EXPECT_NE(info.hbmMask, 0u);
        EXPECT_NE(info.hbmMask, mask);
        ASSERT_NE(BitmapPixels(info.hbmMask), nullptr);
        EXPECT_EQ(BitmapPixels(info.hbmMask)->Data()[0], 100u);
        if (c.withColour) {
            EXPECT_NE(info.hbmColor, 0u);
            EXPECT_NE(info.hbmColor, colour);
            EXPECT_NE(info.hbmColor, info.hbmMask);
            ASSERT_NE(BitmapPixels(info.hbmColor), nullptr);
            EXPECT_EQ(BitmapPixels(info.hbmColor)->Data()[3], 203u);
        } else {
            EXPECT_EQ(info.hbmColor, 0u);
        }

        // The copies belong to the caller: deleting them leaves the icon whole.
        EXPECT_EQ(DeleteObject(info.hbmMask), 1);
        if (c.withColour) {
            EXPECT_EQ(DeleteObject(info.hbmColor), 1);
        }
        EXPECT_NE(BitmapPixels(mask), nullptr);
        ICONINFO again{};
        ASSERT_NE(GetIconInfo(icon, &again), 0);
        EXPECT_EQ(DeleteObject(again.hbmMask), 1);
        EXPECT_EQ(again.hbmColor != 0, c.withColour);
        if (again.hbmColor != 0) {
            EXPECT_EQ(DeleteObject(again.hbmColor), 1);
        }

        EXPECT_EQ(GetIconInfo(icon, nullptr), 0);
        EXPECT_EQ(DestroyIcon(icon), 1);
        EXPECT_EQ(LiveGdiObjects(), liveBefore);
    }
}

TEST_F(GdiTest, GetIconInfoFailsCleanlyWhenTheIconLostItsBitmaps) {
    for (const bool loseMask : {true, false}) {
        SCOPED_TRACE(loseMask ? "mask deleted" : "colour deleted");
        const size_t liveBefore = LiveGdiObjects();
        const HBITMAP mask = MakeBitmap(1, 1, 1);
        const HBITMAP colour = MakeBitmap(1, 1, 32);
        const HICON icon = CreateIconObject(true, 0, 0, mask, colour);
        ASSERT_NE(icon, 0u);
        ASSERT_EQ(DeleteObject(loseMask ? mask : colour), 1);
        ICONINFO info{};
        EXPECT_EQ(GetIconInfo(icon, &info), 0);
        EXPECT_EQ(DestroyIcon(icon), 1);
        EXPECT_EQ(LiveGdiObjects(), liveBefore);
    }
}

TEST_F(GdiTest, GetEnhMetaFileHeaderCopiesAtMostTheSizeAsked) {
    const ENHMETAHEADER source = SampleEnhHeader();
    const HENHMETAFILE metafile = CreateEnhMetaFileObject(source);
    ASSERT_NE(metafile, 0u);
    for (const uint32_t size : {1u, 8u, 24u, 99u, 100u, 101u, 4096u}) {
        SCOPED_TRACE(size);
        ENHMETAHEADER header;
        std::memset(&header, 0x5A, sizeof header);
        const uint32_t copied = size < sizeof header ? size : uint32_t(sizeof header);
        EXPECT_EQ(GetEnhMetaFileHeader(metafile, size, &header), copied);
        const auto* got = reinterpret_cast<const unsigned char*>(&header);
        const auto* want = reinterpret_cast<const unsigned char*>(&source);
        EXPECT_EQ(std::memcmp(got, want, copied), 0);
        for (size_t i = copied; i < sizeof header; ++i) ASSERT_EQ(got[i], 0x5A) << i;
    }
    ENHMETAHEADER header{};
    EXPECT_EQ(GetEnhMetaFileHeader(metafile, 0, &header), 0u);
    EXPECT_EQ(GetEnhMetaFileHeader(metafile, sizeof header, nullptr), 0u);
    EXPECT_EQ(DeleteEnhMetaFile(metafile), 1);
}

}  // namespace
}  // namespace pic2pnm

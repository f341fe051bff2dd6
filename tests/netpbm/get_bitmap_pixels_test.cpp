// Reading a bitmap picture's pixels into the writer's buffer.
#include "netpbm/get_bitmap_pixels.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "helpers/capture_error.h"
#include "imaging/gdi/gdi.h"
#include "runtime/run_time_error.h"
#include "testing/testing_hooks.h"

namespace pic2pnm {
namespace {

using testing::CaptureError;

// A bitmap picture whose pixel at column c of row r from the bottom is `first + W * r + c`.
PictureObject MakePicture(int32_t width, int32_t height, uint32_t first) {
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(width, height);
    EXPECT_NE(store, nullptr);
    for (size_t i = 0; i < store->PixelCount(); ++i) store->Data()[i] = first + uint32_t(i);
    return PictureObject(PICTYPE_BITMAP, CreateBitmapObject(store, 32), 0, 0);
}

PictureInfo SizeInfo(int32_t width, int32_t height) {
    PictureInfo info;
    info.Width = width;
    info.Height = height;
    return info;
}

// Makes GetDC fail for as long as it lives.
class ScreenDcUnavailable {
  public:
    ScreenDcUnavailable() { SetScreenDcUnavailableForTesting(true); }
    ~ScreenDcUnavailable() { SetScreenDcUnavailableForTesting(false); }
};

TEST(GetBitmapPixelsTest, CopiesEveryPixelBottomRowFirstWithSpareElements) {
    struct Case {
        int32_t width;
        int32_t height;
        int32_t upperBound;
    };
    const std::vector<Case> cases = {
        {1, 1, 2}, {2, 1, 2},  {3, 1, 4},  {2, 2, 4},     {1, 3, 4},
        {5, 1, 6}, {7, 3, 22}, {4, 4, 16}, {33, 17, 562},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        const uint32_t first = 0xAB000100u;
        const PictureObject picture = MakePicture(c.width, c.height, first);
        PixelBuffer pixels;
        pixels.ReDim(1);
        pixels.Data()[0] = pixels.Data()[1] = -1;
        const size_t liveBefore = LiveGdiObjects();
        GetBitmapPixels(picture, SizeInfo(c.width, c.height), pixels);
        EXPECT_EQ(LiveGdiObjects(), liveBefore);
        ASSERT_EQ(pixels.UBound(), c.upperBound);
        const int32_t count = c.width * c.height;
        for (int32_t i = 0; i < count; ++i)
            ASSERT_EQ(static_cast<uint32_t>(pixels[size_t(i)]), first + uint32_t(i)) << i;
        for (int32_t i = count; i <= c.upperBound; ++i) EXPECT_EQ(pixels[size_t(i)], 0) << i;
    }
}

TEST(GetBitmapPixelsTest, TheBottomRowComesFirst) {
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(2, 2);
    ASSERT_NE(store, nullptr);
    store->RowFromTop(0)[0] = 0x111111;
    store->RowFromTop(0)[1] = 0x222222;
    store->RowFromTop(1)[0] = 0x333333;
    store->RowFromTop(1)[1] = 0x444444;
    const PictureObject picture(PICTYPE_BITMAP, CreateBitmapObject(store, 24), 0, 0);
    PixelBuffer pixels;
    GetBitmapPixels(picture, SizeInfo(2, 2), pixels);
    ASSERT_EQ(pixels.UBound(), 4);
    EXPECT_EQ(std::vector<int32_t>(pixels.Data(), pixels.Data() + 5),
              (std::vector<int32_t>{0x333333, 0x444444, 0x111111, 0x222222, 0}));
}

TEST(GetBitmapPixelsTest, RefusesSizesBeyondThe32BitRangeBeforeTouchingTheBuffer) {
    struct Case {
        int32_t width;
        int32_t height;
    };
    const std::vector<Case> cases = {
        {67'108'864, 1},   // 32 * width leaves the range
        {16'384, 32'768},  // 4 * width * height is 2^31
        {1, 536'870'912},  // 4 * height is 2^31
        {46'341, 46'341},  // 4 * width * height far beyond
        {2'147'483'647, 1},
    };
    const PictureObject picture = MakePicture(1, 1, 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        PixelBuffer pixels;
        pixels.ReDim(2);
        pixels.Data()[0] = 10;
        pixels.Data()[1] = 20;
        pixels.Data()[2] = 30;
        const size_t liveBefore = LiveGdiObjects();
        const auto error =
            CaptureError([&] { GetBitmapPixels(picture, SizeInfo(c.width, c.height), pixels); });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->Number(), ErrorNumber::Overflow);
        EXPECT_EQ(error->Description(), "Overflow");
        ASSERT_EQ(pixels.UBound(), 2);
        EXPECT_EQ(std::vector<int32_t>(pixels.Data(), pixels.Data() + 3),
                  (std::vector<int32_t>{10, 20, 30}));
        EXPECT_EQ(LiveGdiObjects(), liveBefore);
    }
}

TEST(GetBitmapPixelsTest, WithoutAScreenDeviceContextRaises51) {
    const PictureObject picture = MakePicture(2, 2, 1);
    PixelBuffer pixels;
    const size_t liveBefore = LiveGdiObjects();
    const ScreenDcUnavailable noScreen;
    const auto error = CaptureError([&] { GetBitmapPixels(picture, SizeInfo(2, 2), pixels); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), ErrorNumber::PictureOperation);
    EXPECT_EQ(error->Description(), "Can't get screen DC");
    EXPECT_EQ(LiveGdiObjects(), liveBefore);
}

TEST(GetBitmapPixelsTest, AFailedCopyRaises51AndReleasesTheDeviceContext) {
    PictureObject deleted = MakePicture(2, 2, 1);
    const HANDLE32 staleHandle = deleted.Handle();
    deleted.Release();
    const HMETAFILE metafile = CreateMetaFileObject();
    const PictureObject good = MakePicture(2, 2, 1);

    struct Case {
        const char* name;
        HANDLE32 handle;
        int32_t width;
        int32_t height;
    };
    const std::vector<Case> cases = {
        {"no handle", 0, 2, 2},
        {"deleted bitmap", staleHandle, 2, 2},
        {"handle of a metafile", metafile, 2, 2},
        {"unknown handle", 0x7FFFFFF0u, 2, 2},
        {"width other than the bitmap's", good.Handle(), 3, 2},
        {"height other than the bitmap's", good.Handle(), 2, 1},
        {"height 0", good.Handle(), 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A picture of no type frees nothing: the handles stay with their owners.
        const PictureObject picture(PICTYPE_NONE, c.handle, 0, 0);
        PixelBuffer pixels;
        const size_t liveBefore = LiveGdiObjects();
        const auto error =
            CaptureError([&] { GetBitmapPixels(picture, SizeInfo(c.width, c.height), pixels); });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->Number(), ErrorNumber::PictureOperation);
        EXPECT_EQ(error->Description(), "GetDIBits() failed");
        EXPECT_EQ(LiveGdiObjects(), liveBefore);
    }
    EXPECT_EQ(DeleteMetaFile(metafile), 1);
}

}  // namespace
}  // namespace pic2pnm

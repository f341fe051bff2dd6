// Picture information for each kind of native picture, made directly from GDI objects.
#include "picture/get_picture_info.h"

#include <gtest/gtest.h>

#include "helpers/test_files.h"
#include "imaging/gdi/gdi.h"
#include "runtime/run_time_error.h"

namespace pic2pnm {
namespace {

using testing::TempDir;

HBITMAP MakeBitmap(int32_t width, int32_t height, uint16_t bits) {
    return CreateBitmapObject(PixelStore::Allocate(width, height), bits);
}

PictureObject BitmapPicture(int32_t width, int32_t height, uint16_t bits) {
    return PictureObject(PICTYPE_BITMAP, MakeBitmap(width, height, bits), PixelsToHimetric(width),
                         PixelsToHimetric(height));
}

class GetPictureInfoTest : public ::testing::Test {
  protected:
    void SetUp() override { objects_ = LiveGdiObjects(); }
    void TearDown() override { EXPECT_EQ(LiveGdiObjects(), objects_); }

  private:
    size_t objects_ = 0;
};

TEST_F(GetPictureInfoTest, BitmapFormatComesFromTheFilesFirstBytes) {
    TempDir dir;
    const struct {
        const char* name;
        std::string bytes;  // empty name: no file at all
        int32_t format;
        const char* formatName;
    } cases[] = {
        {"gif", "GIF89a", 3, "CompuServe GIF"},
        {"bmp", "BM\x36", 1, "Windows bitmap"},
        {"jpeg", "\xFF\xD8\xFF", 2, "JPEG"},
        {"short", "BM", 1, "Windows bitmap"},
        {"shorter", "B", 2, "JPEG"},
        {"empty", "", 2, "JPEG"},
        {"other", "xyz", 2, "JPEG"},
    };
    for (const auto& c : cases) {
        const auto path = dir / c.name;
        testing::WriteFileText(path, c.bytes);
        PictureObject picture = BitmapPicture(7, 5, 8);
        PictureInfo info;
        GetPictureInfo(picture, info, path.string());
        EXPECT_EQ(info.FormatType, c.format) << c.name;
        EXPECT_EQ(info.FormatName, c.formatName) << c.name;
        EXPECT_EQ(info.Width, 7);
        EXPECT_EQ(info.Height, 5);
        EXPECT_EQ(info.BitsPerPixel, 8);
        EXPECT_EQ(Err().Number, 0);
    }
}

TEST_F(GetPictureInfoTest, BitmapWhoseFileCannotBeOpenedKeepsFormatFromTheBitmapObject) {
    PictureObject picture = BitmapPicture(3, 2, 24);
    PictureInfo info;
    GetPictureInfo(picture, info, "/no/such/directory/picture.bmp");
    EXPECT_EQ(info.FormatType, 1);
    EXPECT_EQ(info.FormatName, "Windows bitmap");
    EXPECT_EQ(Err().Number, 0) << "nothing that fails inside reaches the caller";
}

TEST_F(GetPictureInfoTest, BitmapWithoutReadableObjectTakesTheHimetricSize) {
    // A handle that names no bitmap: the size comes from the picture's HIMETRIC size.
    PictureObject picture(PICTYPE_BITMAP, 0, PixelsToHimetric(40), PixelsToHimetric(30));
    PictureInfo info;
    info.FormatType = 42;
    GetPictureInfo(picture, info, "/no/such/file");
    EXPECT_EQ(info.Width, 40);
    EXPECT_EQ(info.Height, 30);
    EXPECT_EQ(info.BitsPerPixel, 0);
    EXPECT_EQ(info.FormatType, 42);
    EXPECT_EQ(info.FormatName, "Unknown");
}

TEST_F(GetPictureInfoTest, IconsCursorsAndMonochromeIcons) {
    const struct {
        bool isIcon;
        bool monochrome;
        int32_t format;
        const char* name;
        int32_t width;
        int32_t bits;
    } cases[] = {
        {true, false, 6, "Windows icon", 32, 32},
        {false, false, 7, "Windows cursor", 32, 32},
        // No colour bitmap: the HIMETRIC size (48) stays and there is no depth.
        {true, true, 6, "Windows icon", 48, 0},
    };
    for (const auto& c : cases) {
        HBITMAP mask = MakeBitmap(32, c.monochrome ? 64 : 32, 1);
        HBITMAP color = c.monochrome ? 0 : MakeBitmap(32, 32, 32);
        PictureObject picture(PICTYPE_ICON, CreateIconObject(c.isIcon, 0, 0, mask, color),
                              PixelsToHimetric(48), PixelsToHimetric(48));
        PictureInfo info;
        GetPictureInfo(picture, info, "");
        EXPECT_EQ(info.FormatType, c.format);
        EXPECT_EQ(info.FormatName, c.name);
        EXPECT_EQ(info.Width, c.width);
        EXPECT_EQ(info.BitsPerPixel, c.bits);
    }
}

TEST_F(GetPictureInfoTest, EnhancedMetafileSizeComesFromItsInclusiveBounds) {
    ENHMETAHEADER header{};
    header.rclBounds = RECTL{0, 0, 99, 49};
    PictureObject picture(PICTYPE_ENHMETAFILE, CreateEnhMetaFileObject(header), 1, 1);
    PictureInfo info;
    GetPictureInfo(picture, info, "");
    EXPECT_EQ(info.Width, 100);
    EXPECT_EQ(info.Height, 50);
    EXPECT_EQ(info.FormatType, 5);
    EXPECT_EQ(info.FormatName, "Enhanced metafile");
}

TEST_F(GetPictureInfoTest, EnhancedMetafileBoundsThatOverflowStopTheProcedureQuietly) {
    ENHMETAHEADER header{};
    header.rclBounds = RECTL{0, 0, INT32_MAX, 10};
    PictureObject picture(PICTYPE_ENHMETAFILE, CreateEnhMetaFileObject(header), 0, 0);
    PictureInfo info;
    info.Width = 123;
    GetPictureInfo(picture, info, "");
    EXPECT_EQ(info.Width, 123) << "no field is stored when adding 1 overflows";
    EXPECT_EQ(info.FormatType, 5);
    EXPECT_EQ(info.FormatName, "Enhanced metafile");
    EXPECT_EQ(Err().Number, 0);
}

TEST_F(GetPictureInfoTest, EmptyPictureIsUnknownWithAllNumbersZero) {
    PictureObject picture;
    PictureInfo info{5, 6, 7.0f, 8.0f, 9, "x", 10};
    GetPictureInfo(picture, info, "");
    EXPECT_EQ(info.Width, 0);
    EXPECT_EQ(info.Height, 0);
    EXPECT_EQ(info.HorizontalResolution, 0.0f);
    EXPECT_EQ(info.VerticalResolution, 0.0f);
    EXPECT_EQ(info.BitsPerPixel, 0);
    EXPECT_EQ(info.FormatType, 99);
    EXPECT_EQ(info.FormatName, "Unknown");
}

}  // namespace
}  // namespace pic2pnm

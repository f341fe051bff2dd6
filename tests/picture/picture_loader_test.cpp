// The picture loader's two branches and the information each fills in.
#include "picture/picture_loader.h"

#include <gtest/gtest.h>

#include "helpers/test_files.h"
#include "imaging/gdi/gdi.h"
#include "imaging/gdiplus/gdiplus.h"
#include "runtime/file_numbers.h"
#include "runtime/run_time_error.h"
#include "testing/testing_hooks.h"

namespace pic2pnm {
namespace {

using testing::TempDir;
using testing::TestData;

// Every handle, image and file the loader takes is given back.
class PictureLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gdiObjects_ = LiveGdiObjects();
        Err().Clear();
    }
    void TearDown() override {
        EXPECT_EQ(LiveGdipImages(), 0u);
        EXPECT_EQ(GdiplusStartupCount(), 0u);
        EXPECT_EQ(OpenFileCount(), 0);
        EXPECT_EQ(LiveGdiObjects(), gdiObjects_);
    }
    // Runs the loader as the driver does and returns the error number it raised (0 if none).
    int32_t Load(const std::string& path, PictureInfo& info, bool force = false,
                 bool getInfo = true) {
        try {
            PictureObject picture = LoadPictureFull(path, 0, force, getInfo, info);
            type_ = picture.Type();
            return 0;
        } catch (const RuntimeError& e) {
            description_ = e.Description();
            return e.Number();
        }
    }
    int16_t type_ = -1;
    std::string description_;

  private:
    size_t gdiObjects_ = 0;
};

TEST_F(PictureLoaderTest, NativeLoaderDescribesBitmapGifAndJpegFiles) {
    const struct {
        const char* file;
        int32_t format;
        const char* name;
        int32_t bits;
    } cases[] = {
        {"e2e/photo.bmp", 1, "Windows bitmap", 24},
        {"e2e/photo.gif", 3, "CompuServe GIF", 8},
        {"e2e/photo.jpg", 2, "JPEG", 24},
    };
    for (const auto& c : cases) {
        PictureInfo info;
        ASSERT_EQ(Load(TestData(c.file), info), 0) << c.file << ": " << description_;
        EXPECT_EQ(type_, PICTYPE_BITMAP);
        EXPECT_EQ(info.Width, 23);
        EXPECT_EQ(info.Height, 17);
        EXPECT_EQ(info.HorizontalResolution, 0.0f);
        EXPECT_EQ(info.VerticalResolution, 0.0f);
        EXPECT_EQ(info.FormatType, c.format) << c.file;
        EXPECT_EQ(info.FormatName, c.name);
        EXPECT_EQ(info.BitsPerPixel, c.bits) << c.file;
        EXPECT_EQ(Err().Number, 0);
    }
}

TEST_F(PictureLoaderTest, PngFallsBackToGdipAndGetsItsInformation) {
    PictureInfo info;
    ASSERT_EQ(Load(TestData("e2e/photo24.png"), info), 0) << description_;
    EXPECT_EQ(type_, PICTYPE_BITMAP);
    EXPECT_EQ(Err().Number, 0) << "the native loader's failure must be dropped";
    EXPECT_EQ(info.Width, 23);
    EXPECT_EQ(info.Height, 17);
    EXPECT_EQ(info.FormatType, 8);
    EXPECT_EQ(info.FormatName, "Portable network graphics");
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_GT(info.HorizontalResolution, 0.0f);
}

TEST_F(PictureLoaderTest, ForcedGdipLoadsBitmapWithGdipInformation) {
    PictureInfo info;
    ASSERT_EQ(Load(TestData("e2e/photo.bmp"), info, /*force=*/true), 0) << description_;
    EXPECT_EQ(type_, PICTYPE_BITMAP);
    EXPECT_EQ(info.FormatType, 1);
    EXPECT_EQ(info.FormatName, "Windows bitmap");
    EXPECT_GT(info.HorizontalResolution, 0.0f);
    EXPECT_GT(info.VerticalResolution, 0.0f);
}

TEST_F(PictureLoaderTest, WithoutInformationTheRecordIsUntouchedOnBothBranches) {
    for (const char* file : {"e2e/photo.bmp", "e2e/photo.png"}) {
        PictureInfo info;
        info.Width = -5;
        info.FormatName = "untouched";
        ASSERT_EQ(Load(TestData(file), info, false, /*getInfo=*/false), 0) << file;
        EXPECT_EQ(info.Width, -5);
        EXPECT_EQ(info.FormatType, 0);
        EXPECT_EQ(info.FormatName, "untouched");
    }
}

TEST_F(PictureLoaderTest, IconsAndMetafilesLoadNativelyWithTheirTypes) {
    PictureInfo info;
    ASSERT_EQ(Load(TestData("e2e/bmp-image.ico"), info), 0) << description_;
    EXPECT_EQ(type_, PICTYPE_ICON);
    EXPECT_EQ(info.FormatType, 6);
    EXPECT_EQ(info.FormatName, "Windows icon");
    EXPECT_EQ(info.Width, 16);
    EXPECT_EQ(info.Height, 16);

    PictureInfo wmf;
    ASSERT_EQ(Load(TestData("e2e/empty.wmf"), wmf), 0) << description_;
    EXPECT_EQ(type_, PICTYPE_METAFILE);
    EXPECT_EQ(wmf.FormatType, 4);
    EXPECT_EQ(wmf.FormatName, "Windows metafile");
    EXPECT_EQ(wmf.BitsPerPixel, 0);
    // 1000 x 500 units at 1000 units to the inch: one inch by half an inch at 96 dpi.
    EXPECT_EQ(wmf.Width, 96);
    EXPECT_EQ(wmf.Height, 48);
}

TEST_F(PictureLoaderTest, FailuresRaiseTheDesignedErrors) {
    const struct {
        const char* file;
        int32_t number;
        const char* description;
    } cases[] = {
        {"e2e/no-such-file.png", 53, "File not found"},
        {"e2e/text.txt", ErrorNumber::ObjectError, "Can't load bitmap file. Invalid picture"},
        {"e2e/truncated.png", ErrorNumber::ObjectError, "Can't load bitmap file. Invalid picture"},
    };
    for (const auto& c : cases) {
        PictureInfo info;
        EXPECT_EQ(Load(TestData(c.file), info), c.number) << c.file;
        EXPECT_EQ(description_, c.description) << c.file;
    }
}

// A format whose codec library cannot be opened fails as a broken file of it does, through
// either loader: the user sees the same lines as before the status had a name of its own.
TEST_F(PictureLoaderTest, MissingCodecLibraryReadsAsInvalidPicture) {
    const char* files[] = {"jpeg/baseline420.jpg", "gif/plain.gif", "tiff/rgb8-none.tif",
                           "webp/lossy.webp"};
    for (const char* file : files) {
        PictureInfo info;
        SetCodecLibrariesMissingForTesting(true);
        EXPECT_EQ(Load(TestData(file), info), ErrorNumber::ObjectError) << file;
        EXPECT_EQ(description_, "Can't load bitmap file. Invalid picture") << file;
        SetCodecLibrariesMissingForTesting(false);
        EXPECT_EQ(Load(TestData(file), info), 0) << file;
    }
}

TEST_F(PictureLoaderTest, RenamedGifIsDescribedByItsContentNotItsName) {
    // A GIF file renamed: the information step sniffs the file again, not the name.
    TempDir dir;
    const auto path = dir / "picture.bmp";
    std::filesystem::copy_file(TestData("e2e/photo.gif"), path);
    PictureInfo info;
    ASSERT_EQ(Load(path, info), 0);
    EXPECT_EQ(info.FormatType, 3);
}

}  // namespace
}  // namespace pic2pnm

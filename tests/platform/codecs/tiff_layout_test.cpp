// TIFF layouts whose pixels depend on how the samples are read: the Orientation tag, which is
// never applied. The fixtures and the pixels each must decode to come from
// make-tiff-layout-fixtures.sh.
#include <gtest/gtest.h>

#include <string>

#include "platform/codecs/codecs.h"
#include "support/codec_checks.h"
#include "support/reference_image.h"
#include "support/test_files.h"

namespace pic2pnm::codecs {
namespace {

using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

struct OrientationCase {
    const char* file;
    bool hasAlpha;
};

TEST(TiffOrientation, RowsComeAsStoredWhateverTheTag) {
    const OrientationCase cases[] = {
        {"strip-1.tif", false}, {"strip-2.tif", false},  {"strip-3.tif", false},
        {"strip-4.tif", false}, {"strip-5.tif", false},  {"strip-6.tif", false},
        {"strip-7.tif", false}, {"strip-8.tif", false},  {"tile-3.tif", false},
        {"tile-6.tif", false},  {"planar-2.tif", false}, {"planar-8.tif", false},
        {"alpha-4.tif", true},  {"alpha-5.tif", true},
    };
    const auto stored = ReadReferenceImage(TestData("tiff/orientation/rows-as-stored.ppm"));
    for (const OrientationCase& c : cases) {
        SCOPED_TRACE(c.file);
        testing::ExpectMatchesReference(
            DecodeTiff, ReadFileBytes(TestData(std::string("tiff/orientation/") + c.file)), stored,
            {.bitsPerPixel = static_cast<uint16_t>(c.hasAlpha ? 32 : 24),
             .pixelFormat = c.hasAlpha ? PixelFormat::Argb32 : PixelFormat::Rgb24,
             .hasAlpha = c.hasAlpha,
             .premultipliedAlpha = c.hasAlpha});
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

// TIFF layouts whose pixels depend on how the samples are read: the Orientation tag, which is
// never applied, and an alpha sample of every kind, in contiguous or separate planes, of 8 or
// 16 bits. The fixtures and the pixels each must decode to come from
// make-tiff-layout-fixtures.sh.
#include <gtest/gtest.h>

#include <string>

#include "codecs/tiff/tiff.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

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
            {.codec = "tiff",
             .bitsPerPixel = static_cast<uint16_t>(c.hasAlpha ? 32 : 24),
             .pixelFormat = c.hasAlpha ? PixelFormat::Argb32 : PixelFormat::Rgb24,
             .hasAlpha = c.hasAlpha,
             .premultipliedAlpha = c.hasAlpha});
    }
}

// Each picture's colour over black and its alpha; the colour channels come premultiplied.
TEST(TiffAlpha, AssociatedAsStoredOthersMultipliedOnce) {
    const char* const names[] = {
        "grey-assoc-contig-8",      "grey-assoc-contig-16",      "grey-assoc-planar-8",
        "grey-assoc-planar-16",     "grey-unassoc-contig-8",     "grey-unassoc-contig-16",
        "grey-unassoc-planar-8",    "grey-unassoc-planar-16",    "grey-untyped-contig-8",
        "grey-untyped-contig-16",   "grey-untyped-planar-8",     "grey-untyped-planar-16",
        "rgb-assoc-contig-8",       "rgb-assoc-contig-16",       "rgb-assoc-planar-8",
        "rgb-assoc-planar-16",      "rgb-unassoc-contig-8",      "rgb-unassoc-contig-16",
        "rgb-unassoc-planar-8",     "rgb-unassoc-planar-16",     "rgb-untyped-contig-8",
        "rgb-untyped-contig-16",    "rgb-untyped-planar-8",      "rgb-untyped-planar-16",
        "palette-assoc-contig-8",   "palette-assoc-planar-8",    "palette-unassoc-contig-8",
        "palette-unassoc-planar-8", "palette-unassoc-planar-16", "palette-untyped-contig-8",
        "palette-untyped-planar-8",
    };
    for (const std::string name : names) {
        SCOPED_TRACE(name);
        const bool wide = name.ends_with("-16");
        testing::ExpectMatchesReference(
            DecodeTiff, ReadFileBytes(TestData("tiff/alpha/" + name + ".tif")),
            ReadReferenceImage(TestData("tiff/alpha/" + name + ".pam")),
            {.codec = "tiff",
             .bitsPerPixel = 32,
             .pixelFormat = wide ? PixelFormat::Argb64 : PixelFormat::Argb32,
             .hasAlpha = true,
             .premultipliedAlpha = true,
             .compareAlpha = true});
    }
}

// The same pixels in strips of 2 rows and in 2 x 2 tiles, the last ones cut by the edge.
TEST(TiffAlpha, StripsAndTilesGiveThePixelsOfOneStrip) {
    struct Case {
        const char* file;
        const char* pixels;
        PixelFormatCode pixelFormat;
    };
    const Case cases[] = {
        {"strips-grey-assoc-contig-8", "grey-assoc-contig-8", PixelFormat::Argb32},
        {"tiles-grey-assoc-contig-8", "grey-assoc-contig-8", PixelFormat::Argb32},
        {"strips-rgb-unassoc-planar-16", "rgb-unassoc-planar-16", PixelFormat::Argb64},
        {"tiles-rgb-unassoc-planar-16", "rgb-unassoc-planar-16", PixelFormat::Argb64},
        {"strips-palette-untyped-planar-8", "palette-untyped-planar-8", PixelFormat::Argb32},
        {"tiles-palette-untyped-planar-8", "palette-untyped-planar-8", PixelFormat::Argb32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        testing::ExpectMatchesReference(
            DecodeTiff, ReadFileBytes(TestData(std::string("tiff/alpha/") + c.file + ".tif")),
            ReadReferenceImage(TestData(std::string("tiff/alpha/") + c.pixels + ".pam")),
            {.codec = "tiff",
             .bitsPerPixel = 32,
             .pixelFormat = c.pixelFormat,
             .hasAlpha = true,
             .premultipliedAlpha = true,
             .compareAlpha = true});
    }
}

// The sample reader on damaged bytes: a status every time, a whole picture when Ok.
TEST(TiffAlpha, DamagedFilesGiveAStatus) {
    for (const char* name : {"rgb-unassoc-contig-16", "grey-assoc-planar-8",
                             "palette-untyped-planar-8", "tiles-rgb-unassoc-planar-16"}) {
        SCOPED_TRACE(name);
        const auto bytes = ReadFileBytes(TestData(std::string("tiff/alpha/") + name + ".tif"));
        testing::ExpectDamagedBytesGiveAStatus(DecodeTiff, bytes, 13, 400);
    }
}

// Cut anywhere, a file without a colour map is refused. (libtiff reads a palette picture
// whose map was cut off as grey.)
TEST(TiffAlpha, EveryPrefixIsRefused) {
    for (const char* name :
         {"rgb-unassoc-contig-16", "grey-assoc-planar-8", "grey-untyped-planar-16"}) {
        SCOPED_TRACE(name);
        const auto bytes = ReadFileBytes(TestData(std::string("tiff/alpha/") + name + ".tif"));
        testing::ExpectEveryPrefixStatus(DecodeTiff, bytes, [&](size_t length) {
            if (length < 4) return CodecStatus::NotMyFormat;
            return length < bytes.size() ? CodecStatus::Corrupt : CodecStatus::Ok;
        });
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

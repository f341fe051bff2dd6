// The JPEG, GIF, TIFF, WebP, HEIF and JPEG XL libraries, and libdeflate, are not part of the
// program's start-up: each is mapped into the process only when a picture of its format is first
// decoded.
#include "codecs/common/codec_libraries.h"
#include "codecs/gif/gif_library.h"
#include "codecs/heif/heif_library.h"
#include "codecs/jpeg/jpeg_library.h"
#include "codecs/jxl/jxl_library.h"
#include "codecs/png/png_library.h"
#include "codecs/tiff/tiff_library.h"
#include "codecs/webp/webp_library.h"
#include "helpers/codec_checks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "codecs/avif/avif.h"
#include "codecs/gif/gif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jxl/jxl.h"
#include "codecs/png/png.h"
#include "codecs/tiff/tiff.h"
#include "codecs/webp/webp.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

// True when a file whose name contains `name` is mapped into this process.
bool IsMapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(name) != std::string::npos) return true;
    }
    return false;
}

// PNG takes libdeflate only when it may rearrange the file's bytes.
CodecResult DecodePngCopy(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    std::vector<uint8_t> copy(file.begin(), file.end());
    return DecodePngInPlace(copy, limits, out);
}

TEST(CodecLibraries, EachIsOpenedWhenItsFormatIsFirstDecoded) {
    ASSERT_TRUE(IsMapped("libc.so")) << "/proc/self/maps cannot be read";
    struct Case {
        const char* library;
        const char* picture;
        CodecResult (*decode)(FileView, const DecodeLimits&, DecodedPicture&);
    };
    // libtiff needs libdeflate too: PNG comes first.
    const std::vector<Case> cases = {
        {"libdeflate.so", "png/rgb8.png", DecodePngCopy},
        {"libturbojpeg.so", "jpeg/baseline420.jpg", DecodeJpeg},
        {"libgif.so", "gif/interlaced.gif", DecodeGif},
        {"libtiff.so", "tiff/bilevel-g4.tif", DecodeTiff},
        {"libwebp.so", "webp/animated-offset.webp", DecodeWebp},
        {"libheif.so", "avif/grid.avif", DecodeAvif},
        {"libjxl.so", "jxl/animated.jxl", DecodeJxl},
    };
    // All absent before the first decode, not just the one about to be used.
    for (const Case& c : cases) EXPECT_FALSE(IsMapped(c.library)) << c.library;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        const std::vector<uint8_t> bytes = testing::ReadFileBytes(testing::TestData(c.picture));
        DecodedPicture picture;
        EXPECT_EQ(c.decode(FileView(bytes.data(), bytes.size()), DefaultDecodeLimits, picture),
                  CodecStatus::Ok);
        EXPECT_TRUE(IsMapped(c.library));
    }
    EXPECT_TRUE(IsMapped("libwebpdemux.so"));
    EXPECT_NE(TurboJpeg(), nullptr);
    EXPECT_NE(Gif(), nullptr);
    EXPECT_NE(Tiff(), nullptr);
    EXPECT_NE(WebP(), nullptr);
    EXPECT_NE(Heif(), nullptr);
    EXPECT_NE(Jxl(), nullptr);
    EXPECT_NE(Deflate(), nullptr);
}

}  // namespace
}  // namespace pic2pnm::codecs

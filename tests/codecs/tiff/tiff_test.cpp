#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "codecs/tiff/tiff.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::AppendLe16;
using testing::AppendLe32;
using testing::ComparePixels;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::ReferenceImage;
using testing::TestData;

CodecResult Decode(const Bytes& bytes, DecodedPicture& picture) {
    return DecodeTiff(FileView(bytes.data(), bytes.size()), DefaultDecodeLimits, picture);
}

// ---- Building small TIFF files by hand ----------------------------------------------------
//
// Little-endian: header, the strip's bytes at offset 8, then the one directory and the
// values that do not fit in its entries.

constexpr uint16_t TypeShort = 3;
constexpr uint16_t TypeLong = 4;
constexpr uint16_t TypeRational = 5;

struct Entry {
    uint16_t type = TypeShort;
    std::vector<uint32_t> values;  // a rational is two values
};
using Directory = std::map<uint16_t, Entry>;  // by tag, kept in ascending order

Bytes TiffFile(const Directory& directory, const Bytes& strip, uint32_t nextDirectory = 0) {
    Bytes out = {'I', 'I', 42, 0};
    const uint32_t directoryAt = static_cast<uint32_t>(8 + strip.size() + strip.size() % 2);
    AppendLe32(out, directoryAt);
    out.insert(out.end(), strip.begin(), strip.end());
    if (strip.size() % 2 != 0) out.push_back(0);
    Bytes values;
    const uint32_t valuesAt = directoryAt + 2 + 12 * static_cast<uint32_t>(directory.size()) + 4;
    AppendLe16(out, static_cast<uint32_t>(directory.size()));
    for (const auto& [tag, entry] : directory) {
        AppendLe16(out, tag);
        AppendLe16(out, entry.type);
        const uint32_t count = static_cast<uint32_t>(
            entry.type == TypeRational ? entry.values.size() / 2 : entry.values.size());
        AppendLe32(out, count);
        Bytes packed;
        for (uint32_t value : entry.values)
            entry.type == TypeShort ? AppendLe16(packed, value) : AppendLe32(packed, value);
        if (packed.size() <= 4) {
            packed.resize(4, 0);
            out.insert(out.end(), packed.begin(), packed.end());
        } else {
            AppendLe32(out, valuesAt + static_cast<uint32_t>(values.size()));
            values.insert(values.end(), packed.begin(), packed.end());
        }
    }
    AppendLe32(out, nextDirectory);
    out.insert(out.end(), values.begin(), values.end());
    return out;
}

// 3 x 2 pixels, 8-bit RGB, uncompressed, one strip.
const Bytes Strip = {255, 0,  0,  0,   255, 0,   0, 0, 255,  // red, green, blue
                     10,  20, 30, 200, 150, 100, 0, 0, 0};
Directory BaseDirectory() {
    return {
        {256, {TypeShort, {3}}},                                   // ImageWidth
        {257, {TypeShort, {2}}},                                   // ImageLength
        {258, {TypeShort, {8, 8, 8}}},                             // BitsPerSample
        {259, {TypeShort, {1}}},                                   // Compression: none
        {262, {TypeShort, {2}}},                                   // Photometric: RGB
        {273, {TypeLong, {8}}},                                    // StripOffsets
        {277, {TypeShort, {3}}},                                   // SamplesPerPixel
        {278, {TypeShort, {2}}},                                   // RowsPerStrip
        {279, {TypeLong, {static_cast<uint32_t>(Strip.size())}}},  // StripByteCounts
    };
}

Directory BaseWith(uint16_t tag, Entry entry) {
    Directory directory = BaseDirectory();
    directory[tag] = std::move(entry);
    return directory;
}

// ---- Signature ----------------------------------------------------------------------------

TEST(TiffSignature, ByteOrderMarkAndVersion) {
    testing::ExpectSignatureResults(
        LooksLikeTiff, {
                           {"little-endian", {'I', 'I', 42, 0, 8, 0, 0, 0}, true},
                           {"big-endian", {'M', 'M', 0, 42, 0, 0, 0, 8}, true},
                           {"BigTIFF little-endian", {'I', 'I', 43, 0, 8, 0, 0, 0}, true},
                           {"BigTIFF big-endian", {'M', 'M', 0, 43, 0, 8, 0, 0}, true},
                           {"byte orders mixed", {'I', 'M', 42, 0}, false},
                           {"version in the wrong byte", {'I', 'I', 0, 42}, false},
                           {"other version", {'I', 'I', 44, 0}, false},
                           {"three bytes", {'I', 'I', 42}, false},
                           {"empty", {}, false},
                       });
}

// ---- Fixtures against libtiff's reading through ImageMagick --------------------------------

struct FixtureCase {
    const char* file;
    uint16_t bitsPerPixel;
    PixelFormatCode pixelFormat;
    int tolerance;
};

// libtiff hands out colour multiplied by alpha, rounded to the nearest level.
ReferenceImage Premultiplied(ReferenceImage image) {
    for (uint32_t& pixel : image.pixels) {
        const uint32_t alpha = pixel >> 24;
        uint32_t result = pixel & 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t level = (pixel >> shift) & 0xFF;
            result |= ((level * alpha + 127) / 255) << shift;
        }
        pixel = result;
    }
    return image;
}

void ExpectMatchesReference(const FixtureCase& c, bool hasAlpha) {
    SCOPED_TRACE(c.file);
    const std::string name = std::string("tiff/") + c.file;
    const std::string base = name.substr(0, name.size() - 4);
    ReferenceImage reference = ReadReferenceImage(TestData(base + (hasAlpha ? ".pam" : ".ppm")));
    if (hasAlpha) reference = Premultiplied(std::move(reference));
    testing::ExpectMatchesReference(DecodeTiff, ReadFileBytes(TestData(name)), reference,
                                    {.codec = "tiff",
                                     .bitsPerPixel = c.bitsPerPixel,
                                     .pixelFormat = c.pixelFormat,
                                     .hasAlpha = hasAlpha,
                                     .premultipliedAlpha = hasAlpha,
                                     .tolerance = c.tolerance,
                                     .compareAlpha = hasAlpha});
}

TEST(TiffPixels, Compressions) {
    const FixtureCase cases[] = {
        {"rgb8-none.tif", 24, PixelFormat::Rgb24, 0},
        {"rgb8-lzw.tif", 24, PixelFormat::Rgb24, 0},
        {"rgb8-zip.tif", 24, PixelFormat::Rgb24, 0},
        {"rgb8-packbits.tif", 24, PixelFormat::Rgb24, 0},
        {"rgb8-jpeg.tif", 24, PixelFormat::Rgb24, 2},
        {"ycbcr-jpeg.tif", 24, PixelFormat::Rgb24, 2},  // subsampled YCbCr inside
        {"bilevel-g4.tif", 1, PixelFormat::Indexed1, 0},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c, false);
}

TEST(TiffPixels, Layouts) {
    const FixtureCase cases[] = {
        {"rgb8-tiled.tif", 24, PixelFormat::Rgb24, 0},      // 16 x 16 tiles, partly outside
        {"rgb8-strips.tif", 24, PixelFormat::Rgb24, 0},     // 3 rows a strip, LZW predictor
        {"rgb8-planar.tif", 24, PixelFormat::Rgb24, 0},     // one plane per sample
        {"rgb8-bigendian.tif", 24, PixelFormat::Rgb24, 0},  // MM byte order
        {"two-pages.tif", 24, PixelFormat::Rgb24, 0},       // the reference is the first page
        // 256 x 256 tiles around a smaller picture, as writers make them
        {"rgb16-one-large-tile.tif", 24, PixelFormat::Rgb48, 0},
        {"ycbcr-jpeg-large-tiles.tif", 24, PixelFormat::Rgb24, 2},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c, false);
}

TEST(TiffPixels, SampleKinds) {
    const FixtureCase cases[] = {
        {"bilevel-miniswhite.tif", 1, PixelFormat::Indexed1, 0},
        {"grey8.tif", 8, PixelFormat::Indexed8, 0},
        {"grey16.tif", 24, PixelFormat::Gray16, 1},  // libtiff drops the low byte of grey
        {"palette4.tif", 4, PixelFormat::Indexed4, 0},
        {"palette8.tif", 8, PixelFormat::Indexed8, 0},
        {"rgb16.tif", 24, PixelFormat::Rgb48, 0},
        {"rgb16-bigendian.tif", 24, PixelFormat::Rgb48, 0},  // samples swapped after reading
        {"cmyk.tif", 24, PixelFormat::Rgb24, 1},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c, false);
}

TEST(TiffPixels, AlphaComesPremultiplied) {
    const FixtureCase cases[] = {
        {"rgba8.tif", 32, PixelFormat::Argb32, 1},             // unassociated alpha
        {"rgba8-associated.tif", 32, PixelFormat::Argb32, 1},  // stored premultiplied
        {"rgba16.tif", 32, PixelFormat::Argb64, 1},
    };
    for (const FixtureCase& c : cases) ExpectMatchesReference(c, true);
}

TEST(TiffPixels, HandMadeStripInExactColours) {
    DecodedPicture picture;
    ASSERT_EQ(Decode(TiffFile(BaseDirectory(), Strip), picture), CodecStatus::Ok);
    ASSERT_EQ(picture.width, 3);
    ASSERT_EQ(picture.height, 2);
    const uint32_t expectedTop[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    const uint32_t expectedBottom[] = {0xFF0A141Eu, 0xFFC89664u, 0xFF000000u};
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(picture.pixels->RowFromTop(0)[x], expectedTop[x]) << x;
        EXPECT_EQ(picture.pixels->RowFromTop(1)[x], expectedBottom[x]) << x;
    }
    EXPECT_FALSE(picture.HasAlpha());
}

TEST(TiffPixels, ReversedBitOrderWithinBytes) {
    // FillOrder 2: the least significant bit of each byte comes first.
    DecodedPicture picture;
    ASSERT_EQ(Decode(TiffFile(BaseWith(266, {TypeShort, {2}}), Strip), picture), CodecStatus::Ok);
    const uint32_t expectedTop[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    // 10, 20, 30 read backwards are 80, 40, 120; 200, 150, 100 are 19, 105, 38.
    const uint32_t expectedBottom[] = {0xFF502878u, 0xFF136926u, 0xFF000000u};
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(picture.pixels->RowFromTop(0)[x], expectedTop[x]) << x;
        EXPECT_EQ(picture.pixels->RowFromTop(1)[x], expectedBottom[x]) << x;
    }
}

TEST(TiffPixels, InputBytesAreNeverWritten) {
    // libtiff reads strips straight from our buffer; byte swapping and bit reversal must
    // happen in its own memory.
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"bit order reversed", TiffFile(BaseWith(266, {TypeShort, {2}}), Strip)},
        {"16-bit big-endian", ReadFileBytes(TestData("tiff/rgb16-bigendian.tif"))},
        {"8-bit big-endian", ReadFileBytes(TestData("tiff/rgb8-bigendian.tif"))},
        {"YCbCr JPEG", ReadFileBytes(TestData("tiff/ycbcr-jpeg.tif"))},
        {"1-bit Group 4", ReadFileBytes(TestData("tiff/bilevel-g4.tif"))},
        {"planes", ReadFileBytes(TestData("tiff/rgb8-planar.tif"))},
    };
    for (const Case& c : cases) {
        const Bytes before = c.bytes;
        DecodedPicture picture;
        EXPECT_EQ(Decode(c.bytes, picture), CodecStatus::Ok) << c.name;
        EXPECT_EQ(c.bytes, before) << c.name;
    }
}

// ---- Resolution ---------------------------------------------------------------------------

TEST(TiffResolution, InchesCentimetresOrNone) {
    const Entry resolution{TypeRational, {150, 1}};
    const Entry halfResolution{TypeRational, {75, 1}};
    struct Case {
        const char* name;
        Bytes bytes;
        float dpiX;
        float dpiY;
    };
    auto withResolution = [&](std::vector<uint32_t> unit) {
        Directory directory = BaseDirectory();
        directory[282] = resolution;
        directory[283] = halfResolution;
        if (!unit.empty()) directory[296] = Entry{TypeShort, unit};
        return TiffFile(directory, Strip);
    };
    const Case cases[] = {
        {"300 per inch (ImageMagick)", ReadFileBytes(TestData("tiff/rgb8-none.tif")), 300, 300},
        {"40 per centimetre (ImageMagick)", ReadFileBytes(TestData("tiff/rgb8-lzw.tif")), 101.6f,
         101.6f},
        {"inch", withResolution({2}), 150, 75},
        {"centimetre", withResolution({3}), 381, 190.5f},
        {"no unit tag: inch", withResolution({}), 150, 75},
        {"unit none", withResolution({1}), 0, 0},
        {"no resolution", TiffFile(BaseDirectory(), Strip), 0, 0},
        {"zero denominator", TiffFile(BaseWith(282, {TypeRational, {150, 0}}), Strip), 0, 0},
    };
    for (const Case& c : cases) {
        DecodedPicture picture;
        ASSERT_EQ(Decode(c.bytes, picture), CodecStatus::Ok) << c.name;
        EXPECT_NEAR(picture.dpiX, c.dpiX, 0.01) << c.name;
        EXPECT_NEAR(picture.dpiY, c.dpiY, 0.01) << c.name;
    }
}

// ---- Broken and hostile files -------------------------------------------------------------

TEST(TiffBroken, DamagedFilesAreCorrupt) {
    const Bytes good = TiffFile(BaseDirectory(), Strip);
    const size_t directoryAt = 8 + Strip.size();
    Bytes directoryBeyondEnd = good;
    testing::SetLe32(directoryBeyondEnd, 4, 1000000);
    testing::ExpectEachRefused(
        DecodeTiff,
        {
            {"header only", testing::Prefix(good, 8),
             "tiff: libtiff cannot read the header or the first directory"},
            {"cut in the directory", testing::Prefix(good, directoryAt + 2 + 12 * 4 + 5),
             "tiff: libtiff cannot read the header or the first directory"},
            {"directory offset beyond the end", directoryBeyondEnd,
             "tiff: libtiff cannot read the header or the first directory"},
            {"strip offset beyond the end", TiffFile(BaseWith(273, {TypeLong, {5000}}), Strip),
             "tiff: libtiff cannot decode a strip or tile"},
            {"strip running past the end",
             TiffFile(BaseWith(273, {TypeLong, {static_cast<uint32_t>(good.size()) - 10}}), Strip),
             "tiff: libtiff cannot decode a strip or tile"},
            {"no width",
             [] {
                 Directory directory = BaseDirectory();
                 directory.erase(256);
                 return TiffFile(directory, Strip);
             }(),
             "tiff: libtiff cannot read the header or the first directory"},
            {"width 0", TiffFile(BaseWith(256, {TypeShort, {0}}), Strip),
             "tiff: libtiff cannot read the header or the first directory"},
            {"deflate data that is not", TiffFile(BaseWith(259, {TypeShort, {8}}), Strip),
             "tiff: libtiff cannot decode a strip or tile"},
            {"LZW data that is not", TiffFile(BaseWith(259, {TypeShort, {5}}), Strip),
             "tiff: libtiff cannot decode a strip or tile"},
            {"unknown compression", TiffFile(BaseWith(259, {TypeShort, {12345}}), Strip),
             "tiff: libtiff cannot decode a strip or tile"},
            {"unknown photometric", TiffFile(BaseWith(262, {TypeShort, {77}}), Strip),
             "tiff: libtiff's RGBA reader does not take the picture's samples"},
            {"12 bits per sample", TiffFile(BaseWith(258, {TypeShort, {12, 12, 12}}), Strip),
             "tiff: libtiff's RGBA reader does not take the picture's samples"},
        },
        CodecStatus::Corrupt);
}

TEST(TiffBroken, NextDirectoryIsNeverFollowed) {
    // A chain that loops back on itself, or points nowhere, does not matter for the first page.
    for (uint32_t next : {8u + static_cast<uint32_t>(Strip.size()), 0xFFFFFF00u}) {
        DecodedPicture picture;
        EXPECT_EQ(Decode(TiffFile(BaseDirectory(), Strip, next), picture), CodecStatus::Ok) << next;
    }
}

TEST(TiffBroken, DeclaredSizeBeyondWhatWeHoldIsTooLarge) {
    struct Case {
        uint32_t width;
        uint32_t height;
    };
    const Case cases[] = {{100000, 100000}, {0x7FFFFFFF, 1}, {1, 0xFFFFFFFF}, {23171, 23171}};
    for (const Case& c : cases) {
        Directory directory = BaseDirectory();
        directory[256] = Entry{TypeLong, {c.width}};
        directory[257] = Entry{TypeLong, {c.height}};
        directory[278] = Entry{TypeLong, {c.height}};  // one strip
        DecodedPicture picture;
        EXPECT_EQ(Decode(TiffFile(directory, Strip), picture), CodecStatus::TooLarge)
            << c.width << "x" << c.height;
    }
}

}  // namespace
}  // namespace pic2pnm::codecs

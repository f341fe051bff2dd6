// The JPEG decoder: fixtures against netpbm's and ImageMagick's reading of them, resolution
// from JFIF and EXIF, files cut short, and hand-made hostile headers.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "codecs/jpeg/jpeg.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

using testing::ComparePixels;
using testing::ReadFileBytes;
using testing::ReadReferenceImage;
using testing::TestData;

using Bytes = std::vector<uint8_t>;

constexpr uint32_t Cmyk32 = 0x200F;

Bytes Fixture(const std::string& name) {
    return ReadFileBytes(TestData("jpeg/" + name));
}

uint32_t PixelAt(const DecodedPicture& picture, int x, int yFromTop) {
    return picture.pixels->RowFromTop(yFromTop)[x];
}

// Offset of the first marker `code` (FF code) in the headers, which hold no FF bytes otherwise.
size_t FindMarker(const Bytes& file, uint8_t code) {
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == code) return i;
    ADD_FAILURE() << "marker " << int{code} << " not found";
    return 0;
}

Bytes Insert(Bytes file, size_t at, const Bytes& bytes) {
    file.insert(file.begin() + static_cast<ptrdiff_t>(at), bytes.begin(), bytes.end());
    return file;
}

// ---- Fixtures against references --------------------------------------------------------

struct FixtureCase {
    const char* name;
    int tolerance;
    uint16_t bitsPerPixel;
    PixelFormatCode pixelFormat;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const FixtureCase& c, std::ostream* out) {
    *out << c.name;
}

class JpegFixtureTest : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(JpegFixtureTest, MatchesReferencePixels) {
    const FixtureCase& c = GetParam();
    testing::ExpectMatchesReference(
        DecodeJpeg, Fixture(std::string(c.name) + ".jpg"),
        ReadReferenceImage(TestData(std::string("jpeg/") + c.name + ".ppm")),
        {.codec = "jpeg",
         .bitsPerPixel = c.bitsPerPixel,
         .pixelFormat = c.pixelFormat,
         .tolerance = c.tolerance,
         .looksLike = LooksLikeJpeg});
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, JpegFixtureTest,
    ::testing::Values(FixtureCase{"baseline420", 1, 24, PixelFormat::Rgb24},
                      FixtureCase{"baseline444", 1, 24, PixelFormat::Rgb24},
                      FixtureCase{"sampling3x2", 1, 24, PixelFormat::Rgb24},
                      FixtureCase{"progressive", 1, 24, PixelFormat::Rgb24},
                      FixtureCase{"grey", 1, 8, PixelFormat::Indexed8},
                      FixtureCase{"grey-progressive", 1, 8, PixelFormat::Indexed8},
                      // Our CMYK conversion rounds as ImageMagick's does: no tolerance.
                      FixtureCase{"cmyk", 0, 24, Cmyk32}, FixtureCase{"ycck", 0, 24, Cmyk32}),
    [](const auto& testCase) {
        std::string name = testCase.param.name;
        std::erase(name, '-');
        return name;
    });

TEST(JpegPixelTest, GreyPixelsHaveEqualChannels) {
    DecodedPicture picture;
    ASSERT_EQ(DecodeJpeg(Fixture("grey.jpg"), DefaultDecodeLimits, picture), CodecStatus::Ok);
    int unequal = 0;
    for (size_t i = 0; i < picture.pixels->PixelCount(); ++i) {
        uint32_t p = picture.pixels->Data()[i];
        if ((p & 0xFF) != ((p >> 8) & 0xFF) || (p & 0xFF) != ((p >> 16) & 0xFF)) ++unequal;
    }
    EXPECT_EQ(unequal, 0);
}

// Bytes between segments make libjpeg-turbo warn; the picture is still whole.
TEST(JpegPixelTest, StrayBytesBetweenSegmentsAreOnlyAWarning) {
    Bytes file = Fixture("baseline444.jpg");
    file = Insert(file, FindMarker(file, 0xDB), {0x12, 0x34, 0x56});
    DecodedPicture picture;
    ASSERT_EQ(DecodeJpeg(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    auto reference = ReadReferenceImage(TestData("jpeg/baseline444.ppm"));
    EXPECT_EQ(ComparePixels(*picture.pixels, reference, 1), "");
}

// ---- Resolution -------------------------------------------------------------------------

struct DpiCase {
    const char* name;
    Bytes file;
    float dpiX;
    float dpiY;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const DpiCase& c, std::ostream* out) {
    *out << c.name;
}

class JpegDpiTest : public ::testing::TestWithParam<DpiCase> {};

TEST_P(JpegDpiTest, ReadsResolution) {
    const DpiCase& c = GetParam();
    DecodedPicture picture;
    ASSERT_EQ(DecodeJpeg(c.file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_NEAR(picture.dpiX, c.dpiX, 0.01);
    EXPECT_NEAR(picture.dpiY, c.dpiY, 0.01);
}

// An APP1 EXIF block whose first directory holds the given resolution entries.
struct ExifFields {
    bool bigEndian = false;
    uint32_t xNumerator = 0, xDenominator = 1;
    uint32_t yNumerator = 0, yDenominator = 1;
    int unit = -1;  // no ResolutionUnit entry when negative
};

Bytes ExifSegment(const ExifFields& f) {
    Bytes tiff;
    auto put16 = [&](uint32_t v) {
        if (f.bigEndian) {
            tiff.push_back(static_cast<uint8_t>(v >> 8));
            tiff.push_back(static_cast<uint8_t>(v));
        } else {
            tiff.push_back(static_cast<uint8_t>(v));
            tiff.push_back(static_cast<uint8_t>(v >> 8));
        }
    };
    auto put32 = [&](uint32_t v) {
        if (f.bigEndian) {
            put16(v >> 16);
            put16(v & 0xFFFF);
        } else {
            put16(v & 0xFFFF);
            put16(v >> 16);
        }
    };
    const uint16_t entries = f.unit >= 0 ? 3 : 2;
    const uint32_t rationals = 8 + 2 + 12u * entries + 4;  // after the directory
    tiff.push_back(f.bigEndian ? 'M' : 'I');
    tiff.push_back(f.bigEndian ? 'M' : 'I');
    put16(42);
    put32(8);
    put16(entries);
    put16(0x011A), put16(5), put32(1), put32(rationals);
    put16(0x011B), put16(5), put32(1), put32(rationals + 8);
    if (f.unit >= 0)
        put16(0x0128), put16(3), put32(1), put16(static_cast<uint32_t>(f.unit)), put16(0);
    put32(0);  // no next directory
    put32(f.xNumerator), put32(f.xDenominator), put32(f.yNumerator), put32(f.yDenominator);

    Bytes segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    size_t length = segment.size() - 2;
    segment[2] = static_cast<uint8_t>(length >> 8);
    segment[3] = static_cast<uint8_t>(length);
    return segment;
}

// dpi-none.jpg (JFIF without a unit) or dpi-inch.jpg (96 per inch) with an EXIF block after
// the JFIF segment.
Bytes WithExif(const char* fixture, const ExifFields& fields) {
    Bytes file = Fixture(fixture);
    return Insert(file, FindMarker(file, 0xDB), ExifSegment(fields));
}

INSTANTIATE_TEST_SUITE_P(
    Resolution, JpegDpiTest,
    ::testing::Values(
        DpiCase{"JfifPerInch", Fixture("dpi-inch.jpg"), 96, 96},
        DpiCase{"JfifPerCentimetre", Fixture("dpi-cm.jpg"), 101.6f, 101.6f},
        DpiCase{"JfifAspectOnly", Fixture("dpi-none.jpg"), 0, 0},
        DpiCase{"NoJfifAtAll", Fixture("ycck.jpg"), 0, 0},
        DpiCase{"ExifLittleEndianInches", WithExif("dpi-none.jpg", {false, 300, 1, 150, 1, 2}), 300,
                150},
        DpiCase{"ExifBigEndianCentimetres", WithExif("dpi-none.jpg", {true, 100, 2, 40, 1, 3}), 127,
                101.6f},
        DpiCase{"ExifWithoutUnitMeansInches", WithExif("dpi-none.jpg", {false, 72, 1, 72, 1, -1}),
                72, 72},
        DpiCase{"ExifUnitNone", WithExif("dpi-none.jpg", {true, 72, 1, 72, 1, 1}), 0, 0},
        DpiCase{"ExifZeroDenominator", WithExif("dpi-none.jpg", {false, 72, 0, 72, 1, 2}), 0, 0},
        DpiCase{"JfifUnitWinsOverExif", WithExif("dpi-inch.jpg", {false, 300, 1, 300, 1, 2}), 96,
                96}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(JpegDpiTest, TruncatedExifDirectoryIsIgnored) {
    Bytes segment = ExifSegment({false, 300, 1, 300, 1, 2});
    // Keep the TIFF header and the entry count but cut the entries; fix the segment length.
    segment.resize(10 + 8 + 2 + 5);
    segment[2] = 0;
    segment[3] = static_cast<uint8_t>(segment.size() - 2);
    Bytes file = Fixture("dpi-none.jpg");
    file = Insert(file, FindMarker(file, 0xDB), segment);
    DecodedPicture picture;
    ASSERT_EQ(DecodeJpeg(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(picture.dpiX, 0);
    EXPECT_EQ(picture.dpiY, 0);
}

// ---- Files cut short --------------------------------------------------------------------

struct HeaderCut {
    const char* name;
    uint8_t marker;  // cut inside the segment this marker starts
    size_t into;     // bytes of it kept
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const HeaderCut& c, std::ostream* out) {
    *out << c.name;
}

class JpegHeaderCutTest : public ::testing::TestWithParam<HeaderCut> {};

TEST_P(JpegHeaderCutTest, IsCorrupt) {
    const HeaderCut& c = GetParam();
    Bytes file = Fixture("baseline420.jpg");
    file.resize(FindMarker(file, c.marker) + c.into);
    DecodedPicture picture;
    EXPECT_EQ(DecodeJpeg(file, DefaultDecodeLimits, picture), CodecStatus::Corrupt);
    EXPECT_EQ(picture.pixels, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cuts, JpegHeaderCutTest,
                         ::testing::Values(HeaderCut{"AfterSignature", 0xE0, 1},
                                           HeaderCut{"InsideJfif", 0xE0, 9},
                                           HeaderCut{"InsideQuantisationTable", 0xDB, 30},
                                           HeaderCut{"InsideFrameHeader", 0xC0, 8},
                                           HeaderCut{"InsideHuffmanTable", 0xC4, 12},
                                           HeaderCut{"InsideScanHeader", 0xDA, 6}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// The rest of a picture cut inside its entropy-coded data is grey, as libjpeg-turbo fills it.
TEST(JpegEntropyCutTest, TopIsDecodedAndBottomIsGrey) {
    Bytes file = Fixture("baseline444.jpg");
    const size_t scan = FindMarker(file, 0xDA);
    file.resize(scan + (file.size() - scan) / 2);
    DecodedPicture picture;
    ASSERT_EQ(DecodeJpeg(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    ASSERT_EQ(picture.width, 48);
    ASSERT_EQ(picture.height, 40);
    auto reference = ReadReferenceImage(TestData("jpeg/baseline444.ppm"));
    // The first row of blocks comes before the cut.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 48; ++x) {
            uint32_t got = PixelAt(picture, x, y) & 0xFFFFFF;
            uint32_t want = reference.pixels[static_cast<size_t>(y * 48 + x)] & 0xFFFFFF;
            for (int shift = 0; shift < 24; shift += 8)
                ASSERT_LE(std::abs(static_cast<int>((got >> shift) & 0xFF) -
                                   static_cast<int>((want >> shift) & 0xFF)),
                          1)
                    << "at (" << x << ", " << y << ")";
        }
    for (int x = 0; x < 48; ++x) EXPECT_EQ(PixelAt(picture, x, 39) & 0xFFFFFF, 0x808080u) << x;
}

TEST(JpegEntropyCutTest, NothingAfterTheScanHeaderGivesAGreyPicture) {
    Bytes file = Fixture("progressive.jpg");
    const size_t scan = FindMarker(file, 0xDA);
    file.resize(scan + 2 + ((file[scan + 2] << 8) | file[scan + 3]));
    DecodedPicture picture;
    ASSERT_EQ(DecodeJpeg(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
    ASSERT_EQ(picture.height, 40);
    // The zero bits libjpeg-turbo feeds itself at the end may still make the first block
    // something; every later one is grey.
    for (int x = 0; x < 48; ++x) EXPECT_EQ(PixelAt(picture, x, 39) & 0xFFFFFF, 0x808080u) << x;
}

// ---- Progressive files with too many scans ----------------------------------------------

// progressive.jpg with its last scan repeated: libjpeg-turbo only warns about the odd
// progression, so a few repeats decode, but a file made of more scans than encoders ever
// write is refused before decoding.
Bytes WithLastScanRepeated(int copies) {
    Bytes file = Fixture("progressive.jpg");
    size_t last = 0;
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA) last = i;
    const size_t end = file.size() - 2;  // EOI
    Bytes scan(file.begin() + static_cast<ptrdiff_t>(last),
               file.begin() + static_cast<ptrdiff_t>(end));
    for (int i = 0; i < copies; ++i) file = Insert(file, end, scan);
    return file;
}

TEST(JpegScanLimitTest, AFewExtraScansDecode) {
    DecodedPicture picture;
    EXPECT_EQ(DecodeJpeg(WithLastScanRepeated(3), DefaultDecodeLimits, picture), CodecStatus::Ok);
}

TEST(JpegScanLimitTest, HundredsOfScansAreRefused) {
    DecodedPicture picture;
    EXPECT_EQ(DecodeJpeg(WithLastScanRepeated(150), DefaultDecodeLimits, picture),
              CodecStatus::Corrupt);
    EXPECT_EQ(picture.pixels, nullptr);
}

// ---- Hand-made headers ------------------------------------------------------------------

// SOI, a frame header (marker, size, components with 1x1 sampling) and a scan header over
// every component, then two bytes of data and EOI.
Bytes HandMadeJpeg(uint8_t frameMarker, uint16_t width, uint16_t height, uint8_t components,
                   uint8_t precision = 8) {
    Bytes file = {0xFF,
                  0xD8,
                  0xFF,
                  frameMarker,
                  0,
                  static_cast<uint8_t>(8 + 3 * components),
                  precision,
                  static_cast<uint8_t>(height >> 8),
                  static_cast<uint8_t>(height),
                  static_cast<uint8_t>(width >> 8),
                  static_cast<uint8_t>(width),
                  components};
    for (uint8_t i = 1; i <= components; ++i) file.insert(file.end(), {i, 0x11, 0});
    file.insert(file.end(), {0xFF, 0xDA, 0, static_cast<uint8_t>(6 + 2 * components), components});
    for (uint8_t i = 1; i <= components; ++i) file.insert(file.end(), {i, 0});
    file.insert(file.end(), {0, 63, 0, 0x12, 0x34, 0xFF, 0xD9});
    return file;
}

struct BadFileCase {
    const char* name;
    Bytes file;
    CodecStatus expected;
    const char* reason;  // a text of CodecReasons
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const BadFileCase& c, std::ostream* out) {
    *out << c.name;
}

class JpegBadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(JpegBadFileTest, IsRefused) {
    const BadFileCase& c = GetParam();
    DecodedPicture picture;
    EXPECT_EQ(DecodeJpeg(c.file, DefaultDecodeLimits, picture),
              (CodecResult{c.expected, c.reason}));
    EXPECT_EQ(picture.pixels, nullptr);
    EXPECT_EQ(LooksLikeJpeg(c.file), c.expected != CodecStatus::NotMyFormat);
}

Bytes WithFrameSize(uint16_t width, uint16_t height) {
    Bytes file = Fixture("baseline444.jpg");
    size_t frame = FindMarker(file, 0xC0);
    file[frame + 5] = static_cast<uint8_t>(height >> 8);
    file[frame + 6] = static_cast<uint8_t>(height);
    file[frame + 7] = static_cast<uint8_t>(width >> 8);
    file[frame + 8] = static_cast<uint8_t>(width);
    return file;
}

Bytes WithBrokenHuffmanTable() {
    Bytes file = Fixture("baseline444.jpg");
    size_t table = FindMarker(file, 0xC4);
    // The 16 code counts sum past what the segment holds.
    for (size_t i = 5; i < 5 + 16; ++i) file[table + i] = 0xFF;
    return file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, JpegBadFileTest,
    ::testing::Values(
        BadFileCase{
            "StartOfImageOnly", {0xFF, 0xD8}, CodecStatus::NotMyFormat, "jpeg: no JPEG signature"},
        BadFileCase{"Gif",
                    {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0},
                    CodecStatus::NotMyFormat,
                    "jpeg: no JPEG signature"},
        BadFileCase{"Png",
                    {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'},
                    CodecStatus::NotMyFormat,
                    "jpeg: no JPEG signature"},
        BadFileCase{"GarbageAfterSignature",
                    {0xFF, 0xD8, 0xFF, 0x00, 0x11, 0x22, 0x33, 0x44},
                    CodecStatus::Corrupt,
                    "jpeg: the file ends before a frame header"},
        BadFileCase{"ScanBeforeFrame",
                    {0xFF, 0xD8, 0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0, 0xFF, 0xD9},
                    CodecStatus::Corrupt,
                    "jpeg: a scan comes before the frame header"},
        BadFileCase{"EndBeforeFrame",
                    {0xFF, 0xD8, 0xFF, 0xD9},
                    CodecStatus::Corrupt,
                    "jpeg: the file ends before a frame header"},
        // Refused from the frame header, before anything is allocated.
        BadFileCase{"HugeFrame", HandMadeJpeg(0xC0, 65500, 65500, 3), CodecStatus::TooLarge,
                    "jpeg: the picture is larger than the limits allow"},
        BadFileCase{"HugeProgressiveFrame", HandMadeJpeg(0xC2, 65500, 65500, 1),
                    CodecStatus::TooLarge, "jpeg: the picture is larger than the limits allow"},
        BadFileCase{"HugeFrameInRealFile", WithFrameSize(65500, 65500), CodecStatus::TooLarge,
                    "jpeg: the picture is larger than the limits allow"},
        BadFileCase{"ZeroHeight", WithFrameSize(48, 0), CodecStatus::Corrupt,
                    "jpeg: a side of the picture is 0"},
        BadFileCase{"ZeroWidth", WithFrameSize(0, 40), CodecStatus::Corrupt,
                    "jpeg: a side of the picture is 0"},
        BadFileCase{"TwoComponents", HandMadeJpeg(0xC0, 8, 8, 2), CodecStatus::Corrupt,
                    "jpeg: a component count other than 1, 3 or 4"},
        BadFileCase{"FiveComponents", HandMadeJpeg(0xC0, 8, 8, 5), CodecStatus::Corrupt,
                    "jpeg: a component count other than 1, 3 or 4"},
        BadFileCase{"TwelveBitSamples", HandMadeJpeg(0xC1, 8, 8, 1, 12), CodecStatus::Corrupt,
                    "jpeg: libjpeg-turbo stopped on a fatal error"},
        BadFileCase{"Lossless", HandMadeJpeg(0xC3, 8, 8, 1), CodecStatus::Corrupt,
                    "jpeg: libjpeg-turbo stopped on a fatal error"},
        BadFileCase{"NoTables", HandMadeJpeg(0xC0, 8, 8, 3), CodecStatus::Corrupt,
                    "jpeg: libjpeg-turbo stopped on a fatal error"},
        BadFileCase{"BrokenHuffmanTable", WithBrokenHuffmanTable(), CodecStatus::Corrupt,
                    "jpeg: libjpeg-turbo stopped on a fatal error"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace pic2pnm::codecs

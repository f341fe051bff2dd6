// The limits that keep a file's cost in proportion to its picture, checked on their own: TIFF
// directories, JPEG coefficient memory, PNG row buffers and chunks kept from libspng, the bytes
// a BMP needs, and the widest picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/bmp/bmp_file_bytes.h"
#include "codecs/common/pixel_store.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_header.h"
#include "codecs/png/png_format.h"
#include "codecs/png/png_skipped_chunks.h"
#include "codecs/tiff/tiff_limits.h"
#include "helpers/codec_checks.h"

namespace pic2pnm::codecs {
namespace {

using Bytes = std::vector<uint8_t>;

// ---- TIFF directories ---------------------------------------------------------------------

TiffLayout Strips(uint32_t width, uint32_t height, uint16_t photometric, uint16_t samples,
                  uint16_t bits, uint64_t largestByteCount) {
    TiffLayout layout;
    layout.width = width;
    layout.height = height;
    layout.photometric = photometric;
    layout.samplesPerPixel = samples;
    layout.bitsPerSample = bits;
    layout.rowsPerStrip = UINT32_MAX;
    layout.largestByteCount = largestByteCount;
    return layout;
}

TiffLayout Tiles(uint32_t width, uint32_t height, uint32_t tileWidth, uint32_t tileLength) {
    TiffLayout layout = Strips(width, height, PHOTOMETRIC_RGB, 4, 16, 100);
    layout.tiled = true;
    layout.tileWidth = tileWidth;
    layout.tileLength = tileLength;
    return layout;
}

struct TiffCase {
    const char* name;
    TiffLayout layout;
    const char* refusal;  // null when the directory is in proportion
};

class TiffProportionTest : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffProportionTest, RefusesWhatThePictureCannotUse) {
    EXPECT_STREQ(CheckTiffProportions(GetParam().layout, DefaultDecodeLimits).reason,
                 GetParam().refusal);
}

// 1000x500 RGB 8-bit: 1,500,000 decoded bytes in one strip.
constexpr uint64_t StripBytes = 1000 * 500 * 3;

INSTANTIATE_TEST_SUITE_P(
    Directories, TiffProportionTest,
    ::testing::Values(
        TiffCase{"TileOfTheRoundedPicture", Tiles(1, 1, 16, 16), nullptr},
        TiffCase{"OneWriterTileAroundASmallPicture", Tiles(100, 40, 256, 256), nullptr},
        TiffCase{"WriterTilesOverhangingBothEdges", Tiles(300, 225, 512, 512), nullptr},
        // 8 bytes a pixel: 2048 x 1024 of them are the 16 MiB allowance.
        TiffCase{"TileOfThePixelAndTheAllowance", Tiles(1, 1, 2048, 1024), nullptr},
        TiffCase{"TileOneColumnPastTheAllowance", Tiles(1, 1, 2049, 1024),
                 "tiff: a tile decodes to more than the picture allows"},
        // 4096 tiles along one row: 256 MiB of tiles fit the work allowance, 512 MiB do not.
        TiffCase{"ShortTilesAlongAOneRowPicture", Tiles(65536, 1, 16, 512), nullptr},
        TiffCase{"TallTilesAlongAOneRowPicture", Tiles(65536, 1, 16, 1024),
                 "tiff: the tiles together decode to far more than the picture"},
        TiffCase{"TileAThousandTimesThePicture", Tiles(1, 1, 11264, 11264),
                 "tiff: a tile decodes to more than the picture allows"},
        TiffCase{"TallTilesOfAOneRowPicture", Tiles(11264000, 1, 11264, 11264),
                 "tiff: a tile decodes to more than the picture allows"},
        // Each tile within the picture's bytes, 5500 of them a hundred times its rows.
        TiffCase{"SquareTilesAlongAOneRowPicture", Tiles(11264000, 1, 2048, 2048),
                 "tiff: the tiles together decode to far more than the picture"},
        TiffCase{"TilesAcrossAWidePicture", Tiles(11264000, 1, 11264, 16), nullptr},
        TiffCase{"ZeroTileWidth", Tiles(16, 16, 0, 16), "tiff: a tile of no width or no length"},
        TiffCase{"RgbWithAlphaAndOneMore", Strips(1000, 500, PHOTOMETRIC_RGB, 5, 8, 1), nullptr},
        TiffCase{"RgbWithThreeExtra", Strips(1000, 500, PHOTOMETRIC_RGB, 6, 8, 1),
                 "tiff: more samples a pixel than its colours and the extra ones allowed"},
        TiffCase{"RgbWithAThousandExtra", Strips(1000, 500, PHOTOMETRIC_RGB, 1003, 16, 1),
                 "tiff: more samples a pixel than its colours and the extra ones allowed"},
        TiffCase{"GreyWithTwoExtra", Strips(8, 8, PHOTOMETRIC_MINISBLACK, 3, 8, 1), nullptr},
        TiffCase{"GreyWithThreeExtra", Strips(8, 8, PHOTOMETRIC_MINISBLACK, 4, 8, 1),
                 "tiff: more samples a pixel than its colours and the extra ones allowed"},
        TiffCase{"CmykWithTwoExtra", Strips(8, 8, PHOTOMETRIC_SEPARATED, 6, 8, 1), nullptr},
        TiffCase{"CmykWithThreeExtra", Strips(8, 8, PHOTOMETRIC_SEPARATED, 7, 8, 1),
                 "tiff: more samples a pixel than its colours and the extra ones allowed"},
        TiffCase{"NoSamples", Strips(8, 8, PHOTOMETRIC_RGB, 0, 8, 1),
                 "tiff: no samples a pixel, or samples of no bits"},
        TiffCase{"StoredBytesAtTheBound",
                 Strips(1000, 500, PHOTOMETRIC_RGB, 3, 8, StripBytes * 8 + 65536), nullptr},
        TiffCase{"StoredBytesPastTheBound",
                 Strips(1000, 500, PHOTOMETRIC_RGB, 3, 8, StripBytes * 8 + 65537),
                 "tiff: a strip or tile holds more bytes than its samples could need"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct TiffCapCase {
    const char* name;
    TiffLayout layout;
    uint64_t cap;
};

class TiffCapTest : public ::testing::TestWithParam<TiffCapCase> {};

TEST_P(TiffCapTest, FollowsThePicturesSize) {
    EXPECT_EQ(TiffAllocationCapFor(GetParam().layout, DefaultDecodeLimits), GetParam().cap);
}

constexpr uint64_t MiB16 = uint64_t{16} << 20;

INSTANTIATE_TEST_SUITE_P(
    Pictures, TiffCapTest,
    ::testing::Values(TiffCapCase{"OnePixel", Tiles(1, 1, 11264, 11264), 8 + MiB16},
                      TiffCapCase{"Rgb8", Strips(1000, 500, PHOTOMETRIC_RGB, 3, 8, 1),
                                  StripBytes + MiB16},
                      TiffCapCase{"BilevelRowsRoundUp",
                                  Strips(9, 2, PHOTOMETRIC_MINISWHITE, 1, 1, 1), 2 * 2 + MiB16},
                      TiffCapCase{"Rgba16", Strips(8192, 8192, PHOTOMETRIC_RGB, 4, 16, 1),
                                  uint64_t{8192} * 8192 * 8 + MiB16}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---- JPEG scans and coefficients ----------------------------------------------------------

// A JPEG frame of `components` with the given sampling factors, then one scan for each list of
// component ids, each without entropy-coded data.
Bytes JpegWithScans(uint8_t frameMarker, uint16_t width, uint16_t height,
                    const std::vector<uint8_t>& sampling, const std::vector<Bytes>& scans) {
    const auto components = static_cast<uint8_t>(sampling.size());
    Bytes file = {0xFF,
                  0xD8,
                  0xFF,
                  frameMarker,
                  0,
                  static_cast<uint8_t>(8 + 3 * components),
                  8,
                  static_cast<uint8_t>(height >> 8),
                  static_cast<uint8_t>(height),
                  static_cast<uint8_t>(width >> 8),
                  static_cast<uint8_t>(width),
                  components};
    for (uint8_t i = 0; i < components; ++i)
        file.insert(file.end(), {static_cast<uint8_t>(i + 1), sampling[i], 0});
    for (const Bytes& ids : scans) {
        const auto count = static_cast<uint8_t>(ids.size());
        file.insert(file.end(), {0xFF, 0xDA, 0, static_cast<uint8_t>(6 + 2 * count), count});
        for (uint8_t id : ids) file.insert(file.end(), {id, 0});
        file.insert(file.end(), {0, 63, 0});
    }
    file.insert(file.end(), {0xFF, 0xD9});
    return file;
}

struct JpegCase {
    const char* name;
    Bytes file;
    uint32_t scans;
    uint64_t coefficientBytes;
};

class JpegCoefficientTest : public ::testing::TestWithParam<JpegCase> {};

TEST_P(JpegCoefficientTest, CountsEveryScanAndTheMemoryBetweenThem) {
    JpegHeader header;
    ASSERT_EQ(ReadJpegHeader(GetParam().file, header), CodecStatus::Ok);
    EXPECT_EQ(header.scanCount, GetParam().scans);
    EXPECT_EQ(JpegCoefficientBytes(header), GetParam().coefficientBytes);
}

const Bytes All3 = {1, 2, 3};

INSTANTIATE_TEST_SUITE_P(
    Frames, JpegCoefficientTest,
    ::testing::Values(
        // One interleaved scan: decoded as it is read, nothing kept.
        JpegCase{"BaselineOneScan", JpegWithScans(0xC0, 64, 64, {0x11, 0x11, 0x11}, {All3}), 1, 0},
        // 8x8 blocks of 128 bytes: 64 blocks for each of three components.
        JpegCase{"BaselineThreeScans",
                 JpegWithScans(0xC0, 64, 64, {0x11, 0x11, 0x11}, {{1}, {2}, {3}}), 3, 3 * 64 * 128},
        JpegCase{"BaselineRepeatedScans",
                 JpegWithScans(0xC0, 16, 16, {0x11, 0x11, 0x11}, std::vector<Bytes>(150, Bytes{1})),
                 150, 3 * 4 * 128},
        JpegCase{"ProgressiveOneScan", JpegWithScans(0xC2, 8, 8, {0x11}, {{1}}), 1, 128},
        // 4:2:0 at 17x17: luma padded to whole 2x2 units of blocks (4x4), chroma 2x2 blocks.
        JpegCase{"Progressive420Padded", JpegWithScans(0xC2, 17, 17, {0x22, 0x11, 0x11}, {All3}), 1,
                 (16 + 4 + 4) * 128},
        JpegCase{"ProgressiveCmyk",
                 JpegWithScans(0xC2, 64, 64, {0x11, 0x11, 0x11, 0x11}, {{1, 2, 3, 4}}), 1,
                 4 * 64 * 128}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct JpegRefusalCase {
    const char* name;
    Bytes file;
    CodecResult expected;
};

class JpegRefusalTest : public ::testing::TestWithParam<JpegRefusalCase> {};

TEST_P(JpegRefusalTest, RefusedBeforeDecoding) {
    DecodedPicture picture;
    EXPECT_EQ(DecodeJpeg(GetParam().file, DefaultDecodeLimits, picture), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, JpegRefusalTest,
    ::testing::Values(
        JpegRefusalCase{
            "BaselineOfMoreThanAHundredScans",
            JpegWithScans(0xC0, 16, 16, {0x11, 0x11, 0x11}, std::vector<Bytes>(101, Bytes{1})),
            Refuse("jpeg: more scans than the limits allow")},
        // 6 bytes a pixel of coefficients, above the 5 and 16 MiB beside the pixels.
        JpegRefusalCase{"ThreeFullScansOf8192",
                        JpegWithScans(0xC0, 8192, 8192, {0x11, 0x11, 0x11}, {{1}, {2}, {3}}),
                        Refuse("jpeg: the scans' coefficients need more memory than the budget")},
        JpegRefusalCase{"ProgressiveCmykOf4096",
                        JpegWithScans(0xC2, 4096, 4096, {0x11, 0x11, 0x11, 0x11}, {{1, 2, 3, 4}}),
                        Refuse("jpeg: the scans' coefficients need more memory than the budget")}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---- PNG rows and chunks ------------------------------------------------------------------

struct PngRowCase {
    const char* name;
    uint32_t width;
    uint32_t height;
    uint8_t bitDepth;
    uint8_t colorType;
    bool fits;
};

class PngRowBufferTest : public ::testing::TestWithParam<PngRowCase> {};

TEST_P(PngRowBufferTest, FitsBesideThePixels) {
    const PngRowCase& c = GetParam();
    EXPECT_EQ(PngRowBuffersFit(c.width, c.height, c.bitDepth, c.colorType, DefaultDecodeLimits),
              c.fits);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PngRowBufferTest,
    ::testing::Values(PngRowCase{"WidestGreyRow", 67108863, 1, 8, 0, true},
                      PngRowCase{"WideRgba16Row", 67000000, 1, 16, 6, false},
                      PngRowCase{"WideRgba8Row", 8000000, 1, 8, 6, false},
                      PngRowCase{"MillionRgba8Row", 1000000, 1, 8, 6, true},
                      // 16 bytes a pixel of rows over 16 rows: one byte a pixel.
                      PngRowCase{"WideRgba16Band", 67000000, 8, 16, 6, true},
                      PngRowCase{"OrdinaryRgba16", 4000, 3000, 16, 6, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

Bytes PngChunk(const std::string& type, size_t length) {
    Bytes chunk = {0, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    chunk.insert(chunk.end(), type.begin(), type.end());
    for (size_t i = 0; i < length + 4; ++i) chunk.push_back(static_cast<uint8_t>(i * 7 + 1));
    return chunk;
}

Bytes Join(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Bytes PngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct ChunkFilterCase {
    const char* name;
    Bytes file;
    Bytes filtered;  // what libspng must read
    bool hasSkipped;
};

class PngChunkFilterTest : public ::testing::TestWithParam<ChunkFilterCase> {};

// Reads through the filter in uneven pieces, as libspng does, until the end is reported.
Bytes ReadFiltered(FileView file) {
    PngChunkFilter filter(file);
    Bytes out;
    for (size_t piece = 1;; piece = piece % 13 + 4) {
        Bytes buffer(piece);
        const int status = PngChunkFilter::Read(nullptr, &filter, buffer.data(), piece);
        if (status != 0) {
            EXPECT_EQ(status, SPNG_IO_EOF);
            break;
        }
        out.insert(out.end(), buffer.begin(), buffer.end());
    }
    return out;
}

TEST_P(PngChunkFilterTest, PassesEveryOtherByteUnchanged) {
    const ChunkFilterCase& c = GetParam();
    EXPECT_EQ(HasSkippedPngChunks(c.file), c.hasSkipped);
    // Pieces that run past the end are reported as the end, so compare what whole pieces gave.
    const Bytes read = ReadFiltered(c.file);
    ASSERT_LE(read.size(), c.filtered.size());
    EXPECT_TRUE(std::equal(read.begin(), read.end(), c.filtered.begin()));
    EXPECT_GT(read.size() + 17, c.filtered.size());
}

const Bytes HeaderChunk = PngChunk("IHDR", 13);
const Bytes DataChunk = PngChunk("IDAT", 40);
const Bytes EndChunk = PngChunk("IEND", 0);

INSTANTIATE_TEST_SUITE_P(
    Files, PngChunkFilterTest,
    ::testing::Values(
        ChunkFilterCase{"NothingToSkip", Join({PngSignature, HeaderChunk, DataChunk, EndChunk}),
                        Join({PngSignature, HeaderChunk, DataChunk, EndChunk}), false},
        ChunkFilterCase{"TextBeforeAndAfterThePixels",
                        Join({PngSignature, HeaderChunk, PngChunk("zTXt", 30), DataChunk,
                              PngChunk("tEXt", 5), EndChunk}),
                        Join({PngSignature, HeaderChunk, DataChunk, EndChunk}), true},
        ChunkFilterCase{"ProfileAndInternationalText",
                        Join({PngSignature, HeaderChunk, PngChunk("iCCP", 300), PngChunk("iTXt", 2),
                              DataChunk, EndChunk}),
                        Join({PngSignature, HeaderChunk, DataChunk, EndChunk}), true},
        // A text chunk whose length runs past the end is not skipped: libspng reports it.
        ChunkFilterCase{
            "TextCutShort",
            Join({PngSignature, HeaderChunk, DataChunk, Bytes{0, 0, 1, 0, 'z', 'T', 'X', 't'}}),
            Join({PngSignature, HeaderChunk, DataChunk, Bytes{0, 0, 1, 0, 'z', 'T', 'X', 't'}}),
            false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---- BMP bytes needed ---------------------------------------------------------------------

Bytes BmpHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                uint32_t pixelOffset) {
    Bytes bmp(54, 0);
    const auto put = [&bmp](size_t at, uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bmp[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(10, pixelOffset, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, bitCount, 2);
    put(30, compression, 4);
    return bmp;
}

Bytes FirstBytes(Bytes bytes, size_t count) {
    bytes.resize(count);
    return bytes;
}

struct BmpBytesCase {
    const char* name;
    Bytes head;
    uint64_t needed;
};

class BmpBytesNeededTest : public ::testing::TestWithParam<BmpBytesCase> {};

TEST_P(BmpBytesNeededTest, ReachesTheEndOfThePixels) {
    EXPECT_EQ(BmpFileBytesNeeded(GetParam().head), GetParam().needed);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, BmpBytesNeededTest,
    ::testing::Values(
        // The last row needs no padding.
        BmpBytesCase{"OnePixel24", BmpHeader(1, 1, 24, 0, 54), 54 + 3},
        BmpBytesCase{"TwoRowsPadded", BmpHeader(3, 2, 24, 0, 54), 54 + 12 + 9},
        BmpBytesCase{"TopDown", BmpHeader(3, -2, 24, 0, 54), 54 + 12 + 9},
        BmpBytesCase{"PixelsFarOn", BmpHeader(1, 1, 32, 0, 1000000), 1000000 + 4},
        BmpBytesCase{"RunLength8", BmpHeader(10, 10, 8, 1, 1078), 1078 + 400 + 40},
        BmpBytesCase{"NotABmp", Bytes(54, 0), 0},
        BmpBytesCase{"HeaderCutShort", FirstBytes(BmpHeader(1, 1, 24, 0, 54), 20), 0},
        BmpBytesCase{"BitCountUnknown", BmpHeader(1, 1, 7, 0, 54), 0}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// ---- The widest picture -------------------------------------------------------------------

struct SizeCase {
    const char* name;
    int64_t width;
    int64_t height;
    bool supported;
};

class PictureSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PictureSizeTest, StrideFitsInThirtyTwoBits) {
    EXPECT_EQ(IsPictureSizeSupported(GetParam().width, GetParam().height), GetParam().supported);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PictureSizeTest,
                         ::testing::Values(SizeCase{"WidestRow", 67108863, 1, true},
                                           SizeCase{"OnePixelWider", 67108864, 1, false},
                                           SizeCase{"WidestRowTwice", 67108863, 2, true},
                                           SizeCase{"WidestRowEightTimes", 67108863, 8, true},
                                           SizeCase{"WidestRowNineTimes", 67108863, 9, false},
                                           SizeCase{"Square", 23170, 23170, true}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace pic2pnm::codecs

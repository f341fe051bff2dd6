// Icon and cursor decoding: the directory checks, the choice of image, the native loader's
// colour and mask bitmaps and the GDI+ picture with alpha. Fixtures and their reference
// pixels (ImageMagick's reading of the same files) come from make-icon-metafile-fixtures.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "codecs/icon/icon.h"
#include "helpers/codec_checks.h"
#include "helpers/reference_image.h"
#include "helpers/test_files.h"
#include "imaging/native/native_bitmap_depth.h"

namespace pic2pnm::codecs {
namespace {

using testing::ComparePixels;
using testing::GetLe32;
using testing::ReadReferenceImage;
using testing::ReferenceImage;
using testing::SetLe16;
using testing::SetLe32;

constexpr uint32_t TransparentMask = 0xFFFFFF;
constexpr uint32_t OpaqueMask = 0;

std::vector<uint8_t> IconBytes(const std::string& name) {
    return testing::ReadFileBytes(testing::TestData("icon/" + name));
}

ReferenceImage Reference(const std::string& name) {
    return ReadReferenceImage(testing::TestData("icon/" + name));
}

// DecodeIcon in the form the shared checks take: only its status is looked at.
CodecResult DecodeIconStatus(FileView file, const DecodeLimits& limits, DecodedPicture&) {
    DecodedIcon icon;
    return DecodeIcon(file, limits, icon);
}

// Pixel (x, y counted from the top) of a store of `height` rows starting at `firstRow`
// from the bottom.
uint32_t PixelAt(const PixelStore& store, int32_t firstRow, int32_t height, int32_t x, int32_t y) {
    const size_t row = static_cast<size_t>(firstRow + height - 1 - y);
    return store.Data()[row * static_cast<size_t>(store.Width()) + static_cast<size_t>(x)];
}

uint32_t ReferencePixel(const ReferenceImage& image, int32_t x, int32_t y) {
    return image
        .pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
}

// Compares `height` rows of a mask-bitmap store, from `firstRow`, with what the reference
// says each pixel should be (0 or 0xFFFFFF). Empty when they agree.
std::string CompareMaskRows(const PixelStore& mask, int32_t firstRow, const ReferenceImage& ref,
                            const std::function<bool(uint32_t)>& expectTransparent) {
    if (mask.Width() != ref.width) return "mask width " + std::to_string(mask.Width());
    std::string differences;
    for (int32_t y = 0; y < ref.height; ++y) {
        for (int32_t x = 0; x < ref.width; ++x) {
            const uint32_t expected =
                expectTransparent(ReferencePixel(ref, x, y)) ? TransparentMask : OpaqueMask;
            const uint32_t actual = PixelAt(mask, firstRow, ref.height, x, y);
            if (actual != expected && differences.size() < 200) {
                // Appended piece by piece: "(" + std::string trips a false -Wrestrict of
                // g++ 12 at -O3.
                differences += '(';
                differences += std::to_string(x);
                differences += ',';
                differences += std::to_string(y);
                differences += ") ";
            }
        }
    }
    return differences;
}

bool AlphaIsZero(uint32_t pixel) {
    return (pixel >> 24) == 0;
}
bool IsWhite(uint32_t pixel) {
    return (pixel & 0xFFFFFF) == 0xFFFFFF;
}

// --- Sniffing ---

struct SniffCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool isIcon;
};

TEST(IconSniff, LooksAtTheDirectoryHeaderOnly) {
    const std::vector<SniffCase> cases = {
        {"icon with one entry", {0, 0, 1, 0, 1, 0}, true},
        {"cursor with two entries", {0, 0, 2, 0, 2, 0}, true},
        {"icon with 65535 entries", {0, 0, 1, 0, 0xFF, 0xFF}, true},
        {"no entries (as an uncompressed TGA starts)", {0, 0, 2, 0, 0, 0}, false},
        {"reserved word set", {1, 0, 1, 0, 1, 0}, false},
        {"type 3", {0, 0, 3, 0, 1, 0}, false},
        {"type 0", {0, 0, 0, 0, 1, 0}, false},
        {"five bytes", {0, 0, 1, 0, 1}, false},
        {"empty", {}, false},
        {"a BMP file header", {'B', 'M', 0x36, 0, 0, 0, 0, 0}, false},
    };
    for (const SniffCase& c : cases) {
        EXPECT_EQ(LooksLikeIcon(c.bytes), c.isIcon) << c.name;
        DecodedIcon icon;
        DecodedPicture picture;
        if (!c.isIcon) {
            EXPECT_EQ(DecodeIcon(c.bytes, DefaultDecodeLimits, icon), CodecStatus::NotMyFormat)
                << c.name;
            EXPECT_EQ(DecodeIconAsPicture(c.bytes, DefaultDecodeLimits, picture),
                      CodecStatus::NotMyFormat)
                << c.name;
        }
    }
}

// --- Broken directories and images: both decoders refuse them the same way ---

// rgb24.ico: one entry at offset 6, its 11x6 24-bit image (280 bytes) at offset 22.
constexpr size_t EntryAt = 6;
constexpr size_t ImageAt = 22;

struct BrokenCase {
    const char* name;
    const char* file;
    std::function<void(std::vector<uint8_t>&)> mutate;
    CodecStatus expected;
};

// Both decoders refuse every broken file with the expected status and hand out nothing.
void ExpectBothDecodersRefuse(const std::vector<BrokenCase>& cases) {
    for (const BrokenCase& c : cases) {
        std::vector<uint8_t> bytes = IconBytes(c.file);
        c.mutate(bytes);
        DecodedIcon icon;
        DecodedPicture picture;
        EXPECT_EQ(DecodeIcon(bytes, DefaultDecodeLimits, icon), c.expected) << c.name;
        EXPECT_EQ(DecodeIconAsPicture(bytes, DefaultDecodeLimits, picture), c.expected) << c.name;
        EXPECT_EQ(icon.mask, nullptr) << c.name;
        EXPECT_EQ(picture.pixels, nullptr) << c.name;
    }
}

TEST(IconBroken, EveryEntryIsCheckedAgainstTheFile) {
    const std::vector<BrokenCase> cases = {
        {"no entries", "rgb24.ico", [](auto& b) { SetLe16(b, 4, 0); }, CodecStatus::NotMyFormat},
        {"65535 entries in a small file", "rgb24.ico", [](auto& b) { SetLe16(b, 4, 0xFFFF); },
         CodecStatus::Corrupt},
        {"two entries, one written", "rgb24.ico", [](auto& b) { SetLe16(b, 4, 2); },
         CodecStatus::Corrupt},
        {"directory cut short", "rgb24.ico", [](auto& b) { b.resize(EntryAt + 10); },
         CodecStatus::Corrupt},
        {"offset past the end", "rgb24.ico", [](auto& b) { SetLe32(b, EntryAt + 12, 5000); },
         CodecStatus::Corrupt},
        {"offset at the end", "rgb24.ico",
         [](auto& b) {
             SetLe32(b, EntryAt + 8, 1);
             SetLe32(b, EntryAt + 12, static_cast<uint32_t>(b.size()));
         },
         CodecStatus::Corrupt},
        {"size one byte too many", "rgb24.ico",
         [](auto& b) { SetLe32(b, EntryAt + 8, static_cast<uint32_t>(b.size() - ImageAt + 1)); },
         CodecStatus::Corrupt},
        {"file cut inside the image", "rgb24.ico", [](auto& b) { b.resize(b.size() - 1); },
         CodecStatus::Corrupt},
        {"offset plus size wraps at 32 bits", "rgb24.ico",
         [](auto& b) {
             SetLe32(b, EntryAt + 8, 0x20);
             SetLe32(b, EntryAt + 12, 0xFFFFFFF0u);
         },
         CodecStatus::Corrupt},
        {"size 0xFFFFFFFF", "rgb24.ico", [](auto& b) { SetLe32(b, EntryAt + 8, 0xFFFFFFFFu); },
         CodecStatus::Corrupt},
        {"image overlaps the directory", "rgb24.ico",
         [](auto& b) { SetLe32(b, EntryAt + 12, EntryAt); }, CodecStatus::Corrupt},
        // The entry's offset field (at 18) starts its own image: 18, read as a header size, is
        // an OS/2 header whose other fields follow the directory. Decodable, but overlapping.
        {"image starts in the directory's last field", "rgb24.ico",
         [](auto& b) {
             const std::vector<uint8_t> fields(b.begin() + ImageAt + 4, b.begin() + ImageAt + 18);
             const std::vector<uint8_t> pixels(b.begin() + ImageAt + 40, b.end());
             b.resize(ImageAt);
             b.insert(b.end(), fields.begin(), fields.end());
             b.insert(b.end(), pixels.begin(), pixels.end());
             SetLe32(b, EntryAt + 12, ImageAt - 4);
             SetLe32(b, EntryAt + 8, static_cast<uint32_t>(b.size() - (ImageAt - 4)));
         },
         CodecStatus::Corrupt},
        {"empty image", "rgb24.ico", [](auto& b) { SetLe32(b, EntryAt + 8, 0); },
         CodecStatus::Corrupt},
        // select-largest-deepest.ico: entry 4 (8x8) is never chosen, yet still checked.
        {"an entry that would not be chosen points past the end", "select-largest-deepest.ico",
         [](auto& b) { SetLe32(b, EntryAt + 4 * 16 + 12, static_cast<uint32_t>(b.size())); },
         CodecStatus::Corrupt},
    };
    ExpectBothDecodersRefuse(cases);
}

TEST(IconBroken, ImageHeadersThatCannotBeDecoded) {
    const std::vector<BrokenCase> cases = {
        {"header size 7", "rgb24.ico", [](auto& b) { SetLe32(b, ImageAt, 7); },
         CodecStatus::Corrupt},
        {"header larger than the image", "rgb24.ico", [](auto& b) { SetLe32(b, ImageAt, 4000); },
         CodecStatus::Corrupt},
        {"3 bits per pixel", "rgb24.ico", [](auto& b) { SetLe16(b, ImageAt + 14, 3); },
         CodecStatus::Corrupt},
        {"run-length compressed", "rgb24.ico", [](auto& b) { SetLe32(b, ImageAt + 16, 1); },
         CodecStatus::Corrupt},
        {"top-down height", "rgb24.ico", [](auto& b) { SetLe32(b, ImageAt + 8, 0xFFFFFFF4u); },
         CodecStatus::Corrupt},
        {"height 1 (no XOR row once halved)", "rgb24.ico",
         [](auto& b) { SetLe32(b, ImageAt + 8, 1); }, CodecStatus::Corrupt},
        {"width 0", "rgb24.ico", [](auto& b) { SetLe32(b, ImageAt + 4, 0); }, CodecStatus::Corrupt},
        {"XOR pixels cut short", "rgb24.ico",
         [](auto& b) {
             SetLe32(b, EntryAt + 8, 40 + 100);
             b.resize(ImageAt + 40 + 100);
         },
         CodecStatus::Corrupt},
        {"width beyond what can be held", "rgb24.ico",
         [](auto& b) { SetLe32(b, ImageAt + 4, 0x7FFFFFFF); }, CodecStatus::TooLarge},
        {"height beyond what can be held", "rgb24.ico",
         [](auto& b) { SetLe32(b, ImageAt + 8, 0x7FFFFFFE); }, CodecStatus::TooLarge},
        // eight-bit-short-table.ico: its image's header says 20 colours are used.
        {"more colours than the table holds", "eight-bit-short-table.ico",
         [](auto& b) { SetLe32(b, ImageAt + 32, 257); }, CodecStatus::Corrupt},
        {"monochrome XOR pixels cut short", "mono.ico",
         [](auto& b) {
             SetLe32(b, EntryAt + 8, 40 + 8 + 20);
             b.resize(ImageAt + 40 + 8 + 20);
         },
         CodecStatus::Corrupt},
    };
    ExpectBothDecodersRefuse(cases);
}

TEST(IconBroken, ImagesMayShareBytes) {
    // Two entries naming the same image: nothing is written, so nothing is in the way.
    std::vector<uint8_t> bytes = IconBytes("rgb24.ico");
    std::vector<uint8_t> twice(bytes.begin(), bytes.begin() + ImageAt);
    SetLe16(twice, 4, 2);
    twice.insert(twice.end(), bytes.begin() + EntryAt, bytes.begin() + ImageAt);
    twice.insert(twice.end(), bytes.begin() + ImageAt, bytes.end());
    SetLe32(twice, EntryAt + 12, ImageAt + 16);
    SetLe32(twice, EntryAt + 16 + 12, ImageAt + 16);
    DecodedPicture picture;
    ASSERT_EQ(DecodeIconAsPicture(twice, DefaultDecodeLimits, picture), CodecStatus::Ok);
    EXPECT_EQ(ComparePixels(*picture.pixels, Reference("rgb24.pam"), 0, true), "");
}

// Every fixture ends with the last byte of an image, so every shorter prefix lacks part of an
// image the directory promises. The whole file decodes, except that the native loader leaves
// a chosen PNG image to the other decoder.
TEST(IconBroken, EveryPrefixOfEveryFixtureIsRefused) {
    struct Case {
        const char* file;
        CodecStatus wholeAsIcon;
    };
    const Case cases[] = {{"mono.ico", CodecStatus::Ok},
                          {"four-bit-core-header.ico", CodecStatus::Ok},
                          {"argb32.ico", CodecStatus::Ok},
                          {"hotspot.cur", CodecStatus::Ok},
                          {"select-largest-deepest.ico", CodecStatus::Ok},
                          {"png-chosen.ico", CodecStatus::NotMyFormat},
                          {"im-two-sizes.ico", CodecStatus::Ok}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> bytes = IconBytes(c.file);
        auto expectedFor = [&](CodecStatus whole) {
            return [&bytes, whole](size_t length) {
                return length < 6              ? CodecStatus::NotMyFormat
                       : length < bytes.size() ? CodecStatus::Corrupt
                                               : whole;
            };
        };
        ASSERT_NO_FATAL_FAILURE(
            testing::ExpectEveryPrefixStatus(DecodeIconStatus, bytes, expectedFor(c.wholeAsIcon)));
        ASSERT_NO_FATAL_FAILURE(testing::ExpectEveryPrefixStatus(DecodeIconAsPicture, bytes,
                                                                 expectedFor(CodecStatus::Ok)));
    }
}

// Damaged bytes anywhere: whatever is decoded must be whole and of the size it claims.
TEST(IconBroken, DamagedBytesNeverGiveInconsistentResults) {
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    for (const char* file : {"mono.ico", "eight-bit-short-table.ico", "argb32.ico", "hotspot.cur",
                             "directory-lies.ico", "png-chosen.ico"}) {
        const std::vector<uint8_t> original = IconBytes(file);
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> bytes = original;
            for (int flips = 1 + static_cast<int>(next() % 4); flips > 0; --flips)
                bytes[next() % bytes.size()] = static_cast<uint8_t>(next());
            DecodedIcon icon;
            if (DecodeIcon(bytes, DefaultDecodeLimits, icon) == CodecStatus::Ok) {
                ASSERT_NE(icon.mask, nullptr) << file;
                EXPECT_EQ(icon.mask->Width(), icon.width) << file;
                EXPECT_EQ(icon.mask->Height(), icon.color ? icon.height : 2 * icon.height) << file;
                if (icon.color) {
                    EXPECT_EQ(icon.color->Height(), icon.height) << file;
                }
            }
            DecodedPicture picture;
            if (DecodeIconAsPicture(bytes, DefaultDecodeLimits, picture) == CodecStatus::Ok) {
                ASSERT_NE(picture.pixels, nullptr) << file;
                EXPECT_EQ(picture.pixels->Width(), picture.width) << file;
                EXPECT_EQ(picture.pixels->Height(), picture.height) << file;
                // Without alpha of its own an icon's picture is opaque: GDI+ shows it with alpha.
                const uint32_t* pixels = picture.pixels->Data();
                EXPECT_TRUE(picture.HasAlpha() ||
                            std::all_of(pixels, pixels + picture.pixels->PixelCount(),
                                        [](uint32_t pixel) { return pixel >> 24 == 0xFF; }))
                    << file;
            }
        }
    }
}

// --- The native loader's icon: colour bitmap and AND mask ---

struct ColorIconCase {
    const char* file;
    const char* reference;
    int32_t width;
    int32_t height;
    uint16_t bitsPerPixel;
    // False for ImageMagick's own icon, whose mask follows its own rounding of partial alpha.
    bool maskMatchesReferenceAlpha;
};

TEST(DecodeIcon, ColorBitmapAndMaskPerDepth) {
    const std::vector<ColorIconCase> cases = {
        {"four-bit.ico", "four-bit.pam", 13, 9, 4, true},
        {"four-bit-core-header.ico", "four-bit.pam", 13, 9, 4, true},
        {"eight-bit-short-table.ico", "eight-bit-short-table.pam", 10, 7, 8, true},
        {"rgb24.ico", "rgb24.pam", 11, 6, 24, true},
        {"rgb24-color-table.ico", "rgb24.pam", 11, 6, 24, true},
        {"argb32.ico", "argb32.pam", 9, 8, 32, true},
        {"im-two-sizes.ico", "im-two-sizes.pam", 24, 24, 32, false},
        {"png-not-chosen.ico", "png-not-chosen.pam", 16, 16, 24, true},
        {"select-largest-deepest.ico", "select-largest-deepest.pam", 24, 24, 24, true},
        {"directory-lies.ico", "directory-lies.pam", 16, 16, 8, true},
    };
    for (const ColorIconCase& c : cases) {
        SCOPED_TRACE(c.file);
        DecodedIcon icon;
        ASSERT_EQ(DecodeIcon(IconBytes(c.file), DefaultDecodeLimits, icon), CodecStatus::Ok);
        const ReferenceImage ref = Reference(c.reference);
        EXPECT_TRUE(icon.isIcon);
        EXPECT_EQ(icon.width, c.width);
        EXPECT_EQ(icon.height, c.height);
        EXPECT_EQ(IconBitmapDepth(icon.imageBits), c.bitsPerPixel);
        EXPECT_EQ(icon.hotspotX, c.width / 2);
        EXPECT_EQ(icon.hotspotY, c.height / 2);
        ASSERT_NE(icon.color, nullptr);
        ASSERT_NE(icon.mask, nullptr);
        EXPECT_EQ(ComparePixels(*icon.color, ref), "");
        EXPECT_EQ(icon.mask->Height(), c.height);
        if (c.maskMatchesReferenceAlpha) {
            EXPECT_EQ(CompareMaskRows(*icon.mask, 0, ref, AlphaIsZero), "");
        }
    }
}

// There are no 2-bit bitmaps: a 2-bit image is reported as a 4-bit one, as BMP files are.
// The files are fuzzing finds whose 2-bit images broke that promise.
TEST(DecodeIcon, TwoBitImagesReportFourBitsPerPixel) {
    for (const char* name : {"found-fuzz_icon-1.ico", "found-fuzz_icon-2.ico"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> file =
            testing::ReadFileBytes(testing::TestData("../hostile") / name);
        DecodedPicture picture;
        ASSERT_EQ(DecodeIconAsPicture(file, DefaultDecodeLimits, picture), CodecStatus::Ok);
        EXPECT_EQ(testing::NativeDepthOf("icon", picture), 4);
        EXPECT_EQ(testing::GdipFormatOf("icon", picture), PixelFormat::Indexed4);
        DecodedIcon icon;
        if (DecodeIcon(file, DefaultDecodeLimits, icon) == CodecStatus::Ok) {
            EXPECT_EQ(IconBitmapDepth(icon.imageBits), 4);
        }
    }
}

TEST(DecodeIcon, ThirtyTwoBitColorKeepsItsAlphaBytes) {
    DecodedIcon icon;
    ASSERT_EQ(DecodeIcon(IconBytes("argb32.ico"), DefaultDecodeLimits, icon), CodecStatus::Ok);
    ASSERT_NE(icon.color, nullptr);
    EXPECT_EQ(ComparePixels(*icon.color, Reference("argb32.pam"), 0, /*compareAlpha=*/true), "");
}

TEST(DecodeIcon, MissingMaskIsOpaque) {
    DecodedIcon icon;
    ASSERT_EQ(DecodeIcon(IconBytes("rgb24-no-mask.ico"), DefaultDecodeLimits, icon),
              CodecStatus::Ok);
    ASSERT_NE(icon.color, nullptr);
    ASSERT_NE(icon.mask, nullptr);
    EXPECT_EQ(ComparePixels(*icon.color, Reference("rgb24.pam")), "");
    for (size_t i = 0; i < icon.mask->PixelCount(); ++i)
        ASSERT_EQ(icon.mask->Data()[i], OpaqueMask) << "pixel " << i;
}

struct MonochromeCase {
    const char* file;
    const char* reference;
    bool isIcon;
    uint16_t hotspotX;
    uint16_t hotspotY;
};

// No colour bitmap; the mask bitmap is twice as high, the AND mask above the XOR bits.
TEST(DecodeIcon, MonochromeKeepsBothHalvesInTheMask) {
    const std::vector<MonochromeCase> cases = {
        {"mono.ico", "mono.pam", true, 10, 6},
        {"mono.cur", "mono-cursor.pam", false, 3, 2},
    };
    for (const MonochromeCase& c : cases) {
        SCOPED_TRACE(c.file);
        DecodedIcon icon;
        ASSERT_EQ(DecodeIcon(IconBytes(c.file), DefaultDecodeLimits, icon), CodecStatus::Ok);
        const ReferenceImage ref = Reference(c.reference);
        EXPECT_EQ(icon.isIcon, c.isIcon);
        EXPECT_EQ(icon.hotspotX, c.hotspotX);
        EXPECT_EQ(icon.hotspotY, c.hotspotY);
        EXPECT_EQ(icon.width, 20);
        EXPECT_EQ(icon.height, 12);
        EXPECT_EQ(IconBitmapDepth(icon.imageBits), 1);
        EXPECT_EQ(icon.color, nullptr);
        ASSERT_NE(icon.mask, nullptr);
        ASSERT_EQ(icon.mask->Height(), 24);
        // Rows count from the bottom: the XOR image first, then the AND mask.
        EXPECT_EQ(CompareMaskRows(*icon.mask, 0, ref, IsWhite), "");
        EXPECT_EQ(CompareMaskRows(*icon.mask, 12, ref, AlphaIsZero), "");
    }
}

TEST(DecodeIcon, CursorTakesItsHotSpotFromTheDirectory) {
    DecodedIcon icon;
    ASSERT_EQ(DecodeIcon(IconBytes("hotspot.cur"), DefaultDecodeLimits, icon), CodecStatus::Ok);
    EXPECT_FALSE(icon.isIcon);
    EXPECT_EQ(icon.hotspotX, 5);
    EXPECT_EQ(icon.hotspotY, 7);
    EXPECT_EQ(IconBitmapDepth(icon.imageBits), 8);
    ASSERT_NE(icon.color, nullptr);
    const ReferenceImage ref = Reference("hotspot.pam");
    EXPECT_EQ(ComparePixels(*icon.color, ref), "");
    EXPECT_EQ(CompareMaskRows(*icon.mask, 0, ref, AlphaIsZero), "");
}

TEST(DecodeIcon, PngImagesAreLeftToTheOtherDecoder) {
    for (const char* file : {"png-chosen.ico", "im-png-256.ico"}) {
        DecodedIcon icon;
        EXPECT_EQ(DecodeIcon(IconBytes(file), DefaultDecodeLimits, icon), CodecStatus::NotMyFormat)
            << file;
    }
}

// --- The GDI+ picture: one image with alpha ---

struct PictureCase {
    const char* file;
    const char* reference;
    uint16_t bitsPerPixel;
    PixelFormatCode pixelFormat;
};

TEST(DecodeIconAsPicture, AlphaFromTheChannelOrTheMask) {
    const std::vector<PictureCase> cases = {
        {"mono.ico", "mono.pam", 1, PixelFormat::Indexed1},
        {"four-bit.ico", "four-bit.pam", 4, PixelFormat::Indexed4},
        {"four-bit-core-header.ico", "four-bit.pam", 4, PixelFormat::Indexed4},
        {"eight-bit-short-table.ico", "eight-bit-short-table.pam", 8, PixelFormat::Indexed8},
        {"hotspot.cur", "hotspot.pam", 8, PixelFormat::Indexed8},
        {"rgb24.ico", "rgb24.pam", 24, PixelFormat::Rgb24},
        {"rgb24-color-table.ico", "rgb24.pam", 24, PixelFormat::Rgb24},
        // Partial alpha where the mask says opaque: the channel wins.
        {"argb32.ico", "argb32.pam", 32, PixelFormat::Argb32},
        // Every alpha byte zero: the mask decides, as for rgb24.ico (same pixels and mask).
        {"argb32-zero-alpha.ico", "rgb24.pam", 32, PixelFormat::Argb32},
        {"im-two-sizes.ico", "im-two-sizes.pam", 32, PixelFormat::Argb32},
        {"select-largest-deepest.ico", "select-largest-deepest.pam", 24, PixelFormat::Rgb24},
        {"directory-lies.ico", "directory-lies.pam", 8, PixelFormat::Indexed8},
        {"png-not-chosen.ico", "png-not-chosen.pam", 24, PixelFormat::Rgb24},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.file);
        DecodedPicture picture;
        ASSERT_EQ(DecodeIconAsPicture(IconBytes(c.file), DefaultDecodeLimits, picture),
                  CodecStatus::Ok);
        const ReferenceImage ref = Reference(c.reference);
        EXPECT_EQ(picture.width, ref.width);
        EXPECT_EQ(picture.height, ref.height);
        EXPECT_EQ(testing::NativeDepthOf("icon", picture), c.bitsPerPixel);
        EXPECT_EQ(testing::GdipFormatOf("icon", picture), c.pixelFormat);
        EXPECT_TRUE(picture.HasAlpha());
        EXPECT_FALSE((picture.source.alpha == AlphaKind::Premultiplied));
        EXPECT_EQ(picture.dpiX, 0);
        EXPECT_EQ(picture.dpiY, 0);
        ASSERT_NE(picture.pixels, nullptr);
        EXPECT_EQ(ComparePixels(*picture.pixels, ref, 0, /*compareAlpha=*/true), "");
    }
}

TEST(DecodeIconAsPicture, MissingMaskIsOpaque) {
    DecodedPicture picture;
    ASSERT_EQ(DecodeIconAsPicture(IconBytes("rgb24-no-mask.ico"), DefaultDecodeLimits, picture),
              CodecStatus::Ok);
    ReferenceImage ref = Reference("rgb24.pam");
    for (uint32_t& pixel : ref.pixels) pixel |= 0xFF000000u;
    EXPECT_EQ(ComparePixels(*picture.pixels, ref, 0, /*compareAlpha=*/true), "");
}

TEST(DecodeIconAsPicture, ChosenPngImage) {
    // png-opaque.ico's image has no alpha channel: every pixel becomes opaque, and the picture
    // is described as the PNG image is.
    const std::pair<const char*, AlphaKind> cases[] = {{"png-chosen", AlphaKind::Straight},
                                                       {"png-opaque", AlphaKind::None}};
    for (const auto& [name, alpha] : cases) {
        SCOPED_TRACE(name);
        DecodedPicture picture;
        ASSERT_EQ(DecodeIconAsPicture(IconBytes(std::string(name) + ".ico"), DefaultDecodeLimits,
                                      picture),
                  CodecStatus::Ok);
        EXPECT_EQ(picture.source.alpha, alpha);
        EXPECT_EQ(picture.dpiX, 0);
        EXPECT_EQ(picture.dpiY, 0);
        ASSERT_NE(picture.pixels, nullptr);
        EXPECT_EQ(ComparePixels(*picture.pixels, Reference(std::string(name) + ".pam"), 0, true),
                  "");
    }
}

// The 256-pixel entry ImageMagick writes as PNG, checked through a 32-pixel window across the
// edge of its disc (the reference keeps only that window).
TEST(DecodeIconAsPicture, LargePngEntryWrittenByImageMagick) {
    constexpr int32_t WindowLeft = 16;
    constexpr int32_t WindowTop = 112;
    DecodedPicture picture;
    ASSERT_EQ(DecodeIconAsPicture(IconBytes("im-png-256.ico"), DefaultDecodeLimits, picture),
              CodecStatus::Ok);
    ASSERT_EQ(picture.width, 256);
    ASSERT_EQ(picture.height, 256);
    const ReferenceImage ref = Reference("im-png-256-window.pam");
    std::shared_ptr<PixelStore> window = PixelStore::Allocate(ref.width, ref.height);
    ASSERT_NE(window, nullptr);
    for (int32_t y = 0; y < ref.height; ++y) {
        for (int32_t x = 0; x < ref.width; ++x)
            window->RowFromTop(y)[x] = picture.pixels->RowFromTop(WindowTop + y)[WindowLeft + x];
    }
    EXPECT_EQ(ComparePixels(*window, ref, 0, true), "");
}

TEST(DecodeIconAsPicture, BrokenPngEntryIsCorrupt) {
    std::vector<uint8_t> bytes = IconBytes("png-chosen.ico");
    // Entry 1 is the PNG image; damage its first chunk's type.
    const size_t png = GetLe32(bytes, EntryAt + 16 + 12);
    bytes.at(png + 12) = 'X';
    DecodedPicture picture;
    EXPECT_EQ(DecodeIconAsPicture(bytes, DefaultDecodeLimits, picture), CodecStatus::Corrupt);
}

}  // namespace
}  // namespace pic2pnm::codecs

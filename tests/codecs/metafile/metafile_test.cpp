// Placeable WMF and EMF headers: what is read from good files and which damage is refused.
// The fixtures come from make-icon-metafile-fixtures.sh.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "codecs/metafile/metafile.h"
#include "helpers/codec_checks.h"
#include "helpers/test_files.h"

namespace pic2pnm::codecs {
namespace {

std::vector<uint8_t> MetafileBytes(const std::string& name) {
    return testing::ReadFileBytes(testing::TestData("metafile/" + name));
}

void Put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes.at(at) = static_cast<uint8_t>(value);
    bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

struct MutationCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> mutate;
    CodecStatus expected;
};

// --- Sniffing ---

struct SniffCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool wmf;
    bool emf;
};

std::vector<uint8_t> EmfStart(uint32_t type, uint32_t signature) {
    std::vector<uint8_t> bytes(44, 0);
    Put32(bytes, 0, type);
    Put32(bytes, 40, signature);
    return bytes;
}

std::vector<uint8_t> CutShort(std::vector<uint8_t> bytes, size_t count) {
    bytes.resize(bytes.size() - count);
    return bytes;
}

TEST(MetafileSniff, KeyAndSignature) {
    const std::vector<SniffCase> cases = {
        {"placeable key", {0xD7, 0xCD, 0xC6, 0x9A}, true, false},
        {"key bytes in the wrong order", {0x9A, 0xC6, 0xCD, 0xD7}, false, false},
        {"three bytes of the key", {0xD7, 0xCD, 0xC6}, false, false},
        {"a WMF without placement header", {1, 0, 9, 0, 0, 3}, false, false},
        {"EMF header record", EmfStart(1, 0x464D4520), false, true},
        {"EMF signature in another record", EmfStart(2, 0x464D4520), false, false},
        {"record 1 without signature", EmfStart(1, 0x20464D45), false, false},
        {"EMF cut before its signature ends", CutShort(EmfStart(1, 0x464D4520), 1), false, false},
        {"empty", {}, false, false},
    };
    for (const SniffCase& c : cases) {
        EXPECT_EQ(LooksLikePlaceableWmf(c.bytes), c.wmf) << c.name;
        EXPECT_EQ(LooksLikeEmf(c.bytes), c.emf) << c.name;
        PlaceableWmfHeader wmf;
        EmfHeader emf{};
        if (!c.wmf) {
            EXPECT_EQ(ParsePlaceableWmf(c.bytes, wmf), CodecStatus::NotMyFormat) << c.name;
        }
        if (!c.emf) {
            EXPECT_EQ(ParseEmfHeader(c.bytes, emf), CodecStatus::NotMyFormat) << c.name;
        }
    }
}

// --- Placeable WMF ---

TEST(ParsePlaceableWmf, ReadsTheBoundingBoxAndUnits) {
    PlaceableWmfHeader header;
    ASSERT_EQ(ParsePlaceableWmf(MetafileBytes("placeable.wmf"), header), CodecStatus::Ok);
    EXPECT_EQ(header.left, -100);
    EXPECT_EQ(header.top, 50);
    EXPECT_EQ(header.right, 1340);
    EXPECT_EQ(header.bottom, 770);
    EXPECT_EQ(header.unitsPerInch, 1440);
}

// placeable.wmf: the 22-byte placement header, then the metafile header (18 bytes) and the
// end record (6 bytes); the metafile's size is 12 words.
constexpr size_t MetaHeader = 22;

TEST(ParsePlaceableWmf, WhatMakesAHeaderValid) {
    const std::vector<MutationCase> cases = {
        {"unchanged", [](auto&) {}, CodecStatus::Ok},
        {"wrong checksum (tolerated)", [](auto& b) { b.at(20) ^= 0x55; }, CodecStatus::Ok},
        {"handle slot filled (tolerated)", [](auto& b) { Put16(b, 4, 0x1234); }, CodecStatus::Ok},
        {"metafile on disk", [](auto& b) { Put16(b, MetaHeader, 2); }, CodecStatus::Ok},
        {"version 1", [](auto& b) { Put16(b, MetaHeader + 4, 0x100); }, CodecStatus::Ok},
        {"trailing bytes", [](auto& b) { b.resize(b.size() + 10, 0); }, CodecStatus::Ok},
        {"zero units per inch", [](auto& b) { Put16(b, 14, 0); }, CodecStatus::Corrupt},
        {"metafile type 0", [](auto& b) { Put16(b, MetaHeader, 0); }, CodecStatus::Corrupt},
        {"metafile type 3", [](auto& b) { Put16(b, MetaHeader, 3); }, CodecStatus::Corrupt},
        {"header of 8 words", [](auto& b) { Put16(b, MetaHeader + 2, 8); }, CodecStatus::Corrupt},
        {"version 2", [](auto& b) { Put16(b, MetaHeader + 4, 0x200); }, CodecStatus::Corrupt},
        {"size smaller than the header", [](auto& b) { Put32(b, MetaHeader + 6, 8); },
         CodecStatus::Corrupt},
        // The size is not held against the file: only the headers are read.
        {"size counting the placement header too",
         [](auto& b) { Put32(b, MetaHeader + 6, static_cast<uint32_t>(b.size() / 2)); },
         CodecStatus::Ok},
        {"size one word more than the file", [](auto& b) { Put32(b, MetaHeader + 6, 13); },
         CodecStatus::Ok},
        {"size whose byte count passes 32 bits",
         [](auto& b) { Put32(b, MetaHeader + 6, 0x80000003u); }, CodecStatus::Ok},
        {"end record cut off", [](auto& b) { b.resize(b.size() - 2); }, CodecStatus::Ok},
        {"size of the header alone", [](auto& b) { Put32(b, MetaHeader + 6, 9); }, CodecStatus::Ok},
        {"metafile header cut short", [](auto& b) { b.resize(MetaHeader + 17); },
         CodecStatus::Corrupt},
        {"placement header only", [](auto& b) { b.resize(MetaHeader); }, CodecStatus::Corrupt},
        {"placement header cut short", [](auto& b) { b.resize(10); }, CodecStatus::Corrupt},
    };
    for (const MutationCase& c : cases) {
        std::vector<uint8_t> bytes = MetafileBytes("placeable.wmf");
        c.mutate(bytes);
        PlaceableWmfHeader header;
        EXPECT_EQ(ParsePlaceableWmf(bytes, header), c.expected) << c.name;
    }
}

// Cut inside either header, the file is refused; cut after both, it loads.
TEST(ParsePlaceableWmf, EveryPrefixWithoutBothHeadersIsRefused) {
    const std::vector<uint8_t> bytes = MetafileBytes("placeable.wmf");
    for (size_t length = 0; length < bytes.size(); ++length) {
        PlaceableWmfHeader header;
        CodecStatus expected = CodecStatus::Ok;
        if (length < MetaHeader + 18) expected = CodecStatus::Corrupt;
        if (length < 4) expected = CodecStatus::NotMyFormat;
        EXPECT_EQ(ParsePlaceableWmf(FileView(bytes.data(), length), header), expected) << length;
    }
}

// --- EMF ---

TEST(ParseEmfHeader, FullHeader) {
    EmfHeader header{};
    ASSERT_EQ(ParseEmfHeader(MetafileBytes("bounds-frame.emf"), header), CodecStatus::Ok);
    EXPECT_EQ(header.iType, 1u);
    EXPECT_EQ(header.nSize, 108u);
    EXPECT_EQ(header.rclBounds.left, 10);
    EXPECT_EQ(header.rclBounds.top, 20);
    EXPECT_EQ(header.rclBounds.right, 309);
    EXPECT_EQ(header.rclBounds.bottom, 219);
    EXPECT_EQ(header.rclFrame.left, 265);
    EXPECT_EQ(header.rclFrame.top, 529);
    EXPECT_EQ(header.rclFrame.right, 8202);
    EXPECT_EQ(header.rclFrame.bottom, 5820);
    EXPECT_EQ(header.dSignature, 0x464D4520u);
    EXPECT_EQ(header.nVersion, 0x10000u);
    EXPECT_EQ(header.nBytes, 128u);
    EXPECT_EQ(header.nRecords, 2u);
    EXPECT_EQ(header.nHandles, 1u);
    EXPECT_EQ(header.szlDevice.cx, 1920);
    EXPECT_EQ(header.szlDevice.cy, 1080);
    EXPECT_EQ(header.szlMillimeters.cx, 508);
    EXPECT_EQ(header.szlMillimeters.cy, 286);
    EXPECT_EQ(header.cbPixelFormat, 0u);
    EXPECT_EQ(header.bOpenGL, 0u);
}

// An 88-byte header is followed at once by the end record (type 14, size 20, no palette);
// those bytes must not be taken for the pixel-format fields.
TEST(ParseEmfHeader, ShortHeaderLeavesTheLaterFieldsZero) {
    EmfHeader header;
    header.cbPixelFormat = header.offPixelFormat = header.bOpenGL = 0xABABABABu;
    header.szlMillimeters.cy = -1;
    ASSERT_EQ(ParseEmfHeader(MetafileBytes("short-header.emf"), header), CodecStatus::Ok);
    EXPECT_EQ(header.nSize, 88u);
    EXPECT_EQ(header.rclBounds.left, -5);
    EXPECT_EQ(header.rclBounds.top, -6);
    EXPECT_EQ(header.rclBounds.right, 94);
    EXPECT_EQ(header.rclBounds.bottom, 43);
    EXPECT_EQ(header.rclFrame.left, -132);
    EXPECT_EQ(header.rclFrame.top, -159);
    EXPECT_EQ(header.rclFrame.right, 2487);
    EXPECT_EQ(header.rclFrame.bottom, 1137);
    EXPECT_EQ(header.nBytes, 108u);
    EXPECT_EQ(header.szlMillimeters.cy, 286);
    EXPECT_EQ(header.cbPixelFormat, 0u);
    EXPECT_EQ(header.offPixelFormat, 0u);
    EXPECT_EQ(header.bOpenGL, 0u);
}

// bounds-frame.emf: a 108-byte header record, then a 20-byte end record; 128 bytes in all.
TEST(ParseEmfHeader, SizesMustAgreeWithTheFile) {
    const std::vector<MutationCase> cases = {
        {"unchanged", [](auto&) {}, CodecStatus::Ok},
        {"trailing bytes after the stated size", [](auto& b) { b.resize(b.size() + 8, 0); },
         CodecStatus::Ok},
        {"header of 100 bytes", [](auto& b) { Put32(b, 4, 100); }, CodecStatus::Ok},
        {"header of 84 bytes", [](auto& b) { Put32(b, 4, 84); }, CodecStatus::Corrupt},
        {"header of 0 bytes", [](auto& b) { Put32(b, 4, 0); }, CodecStatus::Corrupt},
        {"header size not in whole words", [](auto& b) { Put32(b, 4, 90); }, CodecStatus::Corrupt},
        {"header larger than the file", [](auto& b) { Put32(b, 4, 132); }, CodecStatus::Corrupt},
        {"header size 0xFFFFFFFC", [](auto& b) { Put32(b, 4, 0xFFFFFFFCu); }, CodecStatus::Corrupt},
        {"metafile larger than the file", [](auto& b) { Put32(b, 48, 132); }, CodecStatus::Corrupt},
        {"metafile smaller than its header", [](auto& b) { Put32(b, 48, 104); },
         CodecStatus::Corrupt},
        {"metafile size 0xFFFFFFFF", [](auto& b) { Put32(b, 48, 0xFFFFFFFFu); },
         CodecStatus::Corrupt},
        {"end record cut off", [](auto& b) { b.resize(108); }, CodecStatus::Corrupt},
        {"cut inside the header", [](auto& b) { b.resize(60); }, CodecStatus::Corrupt},
    };
    for (const MutationCase& c : cases) {
        std::vector<uint8_t> bytes = MetafileBytes("bounds-frame.emf");
        c.mutate(bytes);
        EmfHeader header{};
        EXPECT_EQ(ParseEmfHeader(bytes, header), c.expected) << c.name;
    }
}

TEST(ParseEmfHeader, EveryPrefixIsRefused) {
    for (const char* file : {"bounds-frame.emf", "short-header.emf"}) {
        const std::vector<uint8_t> bytes = MetafileBytes(file);
        for (size_t length = 0; length < bytes.size(); ++length) {
            EmfHeader header{};
            const CodecStatus expected =
                length < 44 ? CodecStatus::NotMyFormat : CodecStatus::Corrupt;
            EXPECT_EQ(ParseEmfHeader(FileView(bytes.data(), length), header), expected)
                << file << " cut to " << length;
        }
    }
}

TEST(ParseEmfHeader, PartialHeaderCopiesWhatItHas) {
    // A 92-byte header has cbPixelFormat but not offPixelFormat or bOpenGL.
    std::vector<uint8_t> bytes = MetafileBytes("bounds-frame.emf");
    Put32(bytes, 4, 92);
    Put32(bytes, 88, 40);
    Put32(bytes, 92, 108);
    Put32(bytes, 96, 1);
    EmfHeader header{};
    ASSERT_EQ(ParseEmfHeader(bytes, header), CodecStatus::Ok);
    EXPECT_EQ(header.cbPixelFormat, 40u);
    EXPECT_EQ(header.offPixelFormat, 0u);
    EXPECT_EQ(header.bOpenGL, 0u);
}

}  // namespace
}  // namespace pic2pnm::codecs

// The decode child: what it hands back equals what the decoder gives in-process, every way a
// child can fail is caught as the designed end, and a record that lies is refused.
#include "codecs/common/codec_child.h"
#include "helpers/codec_checks.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "codecs/common/codec_child_record.h"
#include "codecs/common/codec_registry.h"
#include "codecs/icon/icon.h"
#include "codecs/metafile/metafile.h"
#include "helpers/sanitizer_build.h"
#include "helpers/test_files.h"
#include "runtime/confined_child.h"
#include "testing/testing_hooks.h"

namespace pic2pnm::codecs {
namespace {

using testing::ReadFileBytes;
using testing::TestData;
using Decode = std::function<CodecResult(FileView, ChildDecode&)>;

// How the children of one test ended, as the observer saw them.
class ChildEnds {
  public:
    ChildEnds() {
        SetConfinedChildObserver([this](int end, int) { ends_.push_back(ChildEnd(end)); });
    }
    ~ChildEnds() {
        SetConfinedChildObserver(nullptr);
        SetDecodeChildFaultForTesting(DecodeChildFault::None);
        SetDecodeChildTimeLimitsForTesting(0, 0);
        SetConfinementOffForFuzzing(false);
    }
    const std::vector<ChildEnd>& Ends() const { return ends_; }

  private:
    std::vector<ChildEnd> ends_;
};

Decode RowDecoder(const char* name) {
    const CodecEntry* row = FindCodec(name);
    return [row](FileView file, ChildDecode& out) {
        return row->decode(file, DefaultDecodeLimits, out.picture);
    };
}

bool NoChildLeft() {
    return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

bool SamePixels(const std::shared_ptr<PixelStore>& a, const std::shared_ptr<PixelStore>& b) {
    if (a == nullptr || b == nullptr) return a == b;
    return a->Width() == b->Width() && a->Height() == b->Height() &&
           std::memcmp(a->Data(), b->Data(), a->PixelCount() * 4) == 0;
}

// --- What the child hands back ---

struct RoundTripCase {
    const char* name;
    const char* file;
    ChildTask task;
    Decode decode;
};

class ChildRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(ChildRoundTripTest, GivesWhatTheDecoderGivesInProcess) {
    const RoundTripCase& c = GetParam();
    const std::vector<uint8_t> bytes = ReadFileBytes(TestData(c.file));
    const FileView file(bytes);
    ChildDecode here;
    here.result = c.decode(file, here);
    ASSERT_EQ(here.result, Decoded);
    const ChildEnds ends;
    ChildDecode there;
    const auto decode = [&](ChildDecode& out) { return c.decode(file, out); };
    ASSERT_EQ(DecodeConfined(file, c.task, decode, there), Decoded);
    EXPECT_EQ(ends.Ends(), std::vector<ChildEnd>{ChildEnd::Reported});
    const DecodedPicture& p = there.picture;
    // A picture stays in the child, held, until it is read; icons are copied at once.
    EXPECT_EQ(p.pixels != nullptr && p.pixels->IsInChild(), c.task == ChildTask::Picture);
    EXPECT_EQ(NoChildLeft(), c.task != ChildTask::Picture);
    if (p.pixels != nullptr) {
        std::vector<uint32_t> rows(p.pixels->PixelCount());
        EXPECT_TRUE(p.pixels->CopyRowsFromBottom(0, p.height, rows.data()));
        EXPECT_EQ(std::memcmp(rows.data(), here.picture.pixels->Data(), rows.size() * 4), 0);
    }
    EXPECT_TRUE(p.width == here.picture.width && p.height == here.picture.height &&
                p.source == here.picture.source && p.dpiX == here.picture.dpiX &&
                p.dpiY == here.picture.dpiY);
    EXPECT_TRUE(SamePixels(p.pixels, here.picture.pixels));
    const DecodedIcon& i = there.icon;
    EXPECT_TRUE(i.isIcon == here.icon.isIcon && i.hotspotX == here.icon.hotspotX &&
                i.hotspotY == here.icon.hotspotY && i.width == here.icon.width &&
                i.height == here.icon.height && i.imageBits == here.icon.imageBits);
    EXPECT_TRUE(SamePixels(i.color, here.icon.color) && SamePixels(i.mask, here.icon.mask));
    EXPECT_EQ(std::memcmp(&there.wmf, &here.wmf, sizeof there.wmf), 0);
    EXPECT_EQ(std::memcmp(&there.emf, &here.emf, sizeof there.emf), 0);
    there = ChildDecode{};  // the last holder of the child's pixels ends it
    EXPECT_TRUE(NoChildLeft());
}

INSTANTIATE_TEST_SUITE_P(
    EveryTask, ChildRoundTripTest,
    ::testing::Values(
        RoundTripCase{"Png", "e2e/photo.png", ChildTask::Picture, RowDecoder("png")},
        RoundTripCase{"Jpeg", "e2e/photo.jpg", ChildTask::Picture, RowDecoder("jpeg")},
        // libheif's decoders start threads inside the child.
        RoundTripCase{"Heif", "e2e/photo.heic", ChildTask::Picture, RowDecoder("heif")},
        RoundTripCase{"Avif", "e2e/alpha.avif", ChildTask::Picture, RowDecoder("avif")},
        RoundTripCase{"Tiff", "e2e/photo.tif", ChildTask::Picture, RowDecoder("tiff")},
        RoundTripCase{"ColourIcon", "icon/four-bit.ico", ChildTask::Icon,
                      [](FileView f, ChildDecode& out) {
                          return DecodeIcon(f, DefaultDecodeLimits, out.icon);
                      }},
        RoundTripCase{"MonochromeIcon", "icon/mono.ico", ChildTask::Icon,
                      [](FileView f, ChildDecode& out) {
                          return DecodeIcon(f, DefaultDecodeLimits, out.icon);
                      }},
        RoundTripCase{"PlaceableWmf", "metafile/placeable.wmf", ChildTask::PlaceableWmf,
                      [](FileView f, ChildDecode& out) { return ParsePlaceableWmf(f, out.wmf); }},
        RoundTripCase{"Emf", "metafile/bounds-frame.emf", ChildTask::Emf,
                      [](FileView f, ChildDecode& out) { return ParseEmfHeader(f, out.emf); }}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// --- Copying rows out of a held child ---

// A pattern no two rows or halves share, so that a row copied from the wrong place shows.
uint32_t PatternAt(size_t index) {
    return static_cast<uint32_t>(index * 2654435761u) ^ static_cast<uint32_t>(index >> 7);
}

struct RowCopyCase {
    const char* name;
    int32_t first;
    int32_t rows;
};

class ChildRowCopyTest : public ::testing::TestWithParam<RowCopyCase> {};

// Copies of eight megabytes and more are split between two threads; every byte must still
// come from its own place, whatever the start and the length.
TEST_P(ChildRowCopyTest, CopiesEveryRowFromItsPlace) {
    constexpr int32_t width = 2048;  // 8 KiB a row: 1024 rows make 8 MiB
    constexpr int32_t height = 1500;
    const RowCopyCase& c = GetParam();
    const std::vector<uint8_t> bytes(64, 0);
    const FileView file(bytes);
    const auto pattern = [&](ChildDecode& out) -> CodecResult {
        out.picture.pixels = PixelStore::Allocate(width, height);
        if (out.picture.pixels == nullptr) return Refuse("bmp: no memory for the pixels");
        for (size_t i = 0; i < out.picture.pixels->PixelCount(); ++i)
            out.picture.pixels->Data()[i] = PatternAt(i);
        out.picture.width = width;
        out.picture.height = height;
        out.picture.source = {.pixelBits = 32};
        return Decoded;
    };
    ChildDecode there;
    ASSERT_EQ(DecodeConfined(file, ChildTask::Picture, pattern, there), Decoded);
    ASSERT_NE(there.picture.pixels, nullptr);
    std::vector<uint32_t> rows(static_cast<size_t>(c.rows) * width);
    ASSERT_TRUE(there.picture.pixels->CopyRowsFromBottom(c.first, c.rows, rows.data()));
    const size_t start = static_cast<size_t>(c.first) * width;
    size_t wrong = 0;
    for (size_t i = 0; i < rows.size(); ++i) wrong += rows[i] != PatternAt(start + i);
    EXPECT_EQ(wrong, 0u);
    there = ChildDecode{};
    EXPECT_TRUE(NoChildLeft());
}

INSTANTIATE_TEST_SUITE_P(Regions, ChildRowCopyTest,
                         ::testing::Values(RowCopyCase{"OneRow", 700, 1},
                                           RowCopyCase{"JustBelowTheSplit", 1, 1023},
                                           RowCopyCase{"TheSplitExactly", 1, 1024},
                                           RowCopyCase{"UpperRowsFromAnOddRow", 333, 1167},
                                           RowCopyCase{"EveryRow", 0, 1500}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// --- Every way a child can fail ---

struct FaultCase {
    const char* name;
    DecodeChildFault fault;
    ChildEnd end;
    // AddressSanitizer reports a crash itself, then exits, or aborts (abort_on_error).
    ChildEnd sanitizedEnd;
    CodecStatus status;
    uint32_t cpuSeconds = 0;
    uint32_t wallMilliseconds = 0;
};

class ChildFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ChildFaultTest, EndsAsDesignedAndLeavesNothing) {
    const FaultCase& c = GetParam();
#ifdef PIC2PNM_PROGRAM_HAS_ASAN
    if (c.fault == DecodeChildFault::AllocateForever)
        GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    const ChildEnd expected = c.sanitizedEnd;
#else
    const ChildEnd expected = c.end;
#endif
    const std::vector<uint8_t> bytes = ReadFileBytes(TestData("e2e/photo.bmp"));
    const ChildEnds ends;
    SetDecodeChildFaultForTesting(c.fault);
    SetDecodeChildTimeLimitsForTesting(c.cpuSeconds, c.wallMilliseconds);
    ChildDecode out;
    const Decode decode = RowDecoder("bmp");
    const FileView file(bytes);
    EXPECT_EQ(DecodeConfined(
                  file, ChildTask::Picture,
                  [&](ChildDecode& result) { return decode(file, result); }, out),
              c.status);
    testing::ExpectReasonOfTheTable(out.result);
    EXPECT_EQ(out.picture.pixels, nullptr);
    ASSERT_EQ(ends.Ends().size(), 1u);
    const bool abortedOnReport =
        expected == ChildEnd::NoRecord && ends.Ends()[0] == ChildEnd::Crashed;
    if (!abortedOnReport) {
        EXPECT_EQ(ends.Ends()[0], expected) << ChildEndName(ends.Ends()[0]);
    }
    EXPECT_TRUE(NoChildLeft());
    EXPECT_FALSE(std::filesystem::exists("pic2pnm-child-was-here"));
}

INSTANTIATE_TEST_SUITE_P(
    EveryFault, ChildFaultTest,
    ::testing::Values(
        FaultCase{"Crash", DecodeChildFault::Crash, ChildEnd::Crashed, ChildEnd::NoRecord,
                  CodecStatus::Corrupt},
        FaultCase{"Abort", DecodeChildFault::Abort, ChildEnd::Crashed, ChildEnd::Crashed,
                  CodecStatus::Corrupt},
        FaultCase{"SpinUntilTheCpuLimit", DecodeChildFault::Spin, ChildEnd::OverCpuTime,
                  ChildEnd::OverCpuTime, CodecStatus::Corrupt, 1, 30'000},
        FaultCase{"SpinUntilTheWallClockLimit", DecodeChildFault::Spin, ChildEnd::OverTime,
                  ChildEnd::OverTime, CodecStatus::Corrupt, 30, 300},
        // The address-space limit makes malloc fail; the child reports it as a decoder would.
        FaultCase{"AllocateForever", DecodeChildFault::AllocateForever, ChildEnd::Reported,
                  ChildEnd::Reported, CodecStatus::OutOfMemory},
        FaultCase{"OpenForWriting", DecodeChildFault::Open, ChildEnd::Refused, ChildEnd::Refused,
                  CodecStatus::Corrupt},
        FaultCase{"Socket", DecodeChildFault::Socket, ChildEnd::Refused, ChildEnd::Refused,
                  CodecStatus::Corrupt},
        FaultCase{"Execve", DecodeChildFault::Execve, ChildEnd::Refused, ChildEnd::Refused,
                  CodecStatus::Corrupt},
        FaultCase{"LyingRecord", DecodeChildFault::LyingRecord, ChildEnd::RecordRefused,
                  ChildEnd::RecordRefused, CodecStatus::Corrupt},
        FaultCase{"ShortRecord", DecodeChildFault::ShortRecord, ChildEnd::NoRecord,
                  ChildEnd::NoRecord, CodecStatus::Corrupt}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ChildOffTest, DecodesInProcessWhenConfinementIsOff) {
    const std::vector<uint8_t> bytes = ReadFileBytes(TestData("e2e/photo.bmp"));
    const ChildEnds ends;
    SetConfinementOffForFuzzing(true);
    SetDecodeChildFaultForTesting(DecodeChildFault::Crash);  // never reached: no child
    ChildDecode out;
    const Decode decode = RowDecoder("bmp");
    const FileView file(bytes);
    EXPECT_EQ(DecodeConfined(
                  file, ChildTask::Picture,
                  [&](ChildDecode& result) { return decode(file, result); }, out),
              CodecStatus::Ok);
    EXPECT_NE(out.picture.pixels, nullptr);
    EXPECT_EQ(ends.Ends(), std::vector<ChildEnd>{ChildEnd::NotRun});
}

// --- A record is believed only when every field holds ---

using Lie = std::function<void(ChildDecodeRecord&)>;
struct LieCase {
    const char* name;
    ChildTask task;
    Lie lie;
};

// An honest record of `task`: a 4 x 4 picture, a 4 x 2 icon's colour bitmap and mask, or
// headers as their parsers give them.
struct HonestDecode {
    HonestDecode() {
        decode.result = Decoded;
        decode.picture = {4,  4,  {.pixelBits = 32, .alpha = AlphaKind::Straight},
                          96, 96, Pixels(4, 4)};
        decode.icon.width = 4;
        decode.icon.height = 2;
        decode.icon.imageBits = 8;
        decode.icon.color = Pixels(4, 2);
        decode.icon.mask = Pixels(4, 2);
        decode.wmf.unitsPerInch = 1440;
        decode.emf.iType = 1;
        decode.emf.dSignature = 0x464D4520;
        decode.emf.nSize = 108;
        decode.emf.nBytes = 200;
    }
    static std::shared_ptr<PixelStore> Pixels(int32_t width, int32_t height) {
        auto store = PixelStore::Allocate(width, height);
        for (size_t i = 0; i < store->PixelCount(); ++i) store->Data()[i] = uint32_t(i * 0x10101);
        return store;
    }
    // Copies a store of the decode from where the record says it is, as from a child.
    FetchChildStore Fetch() const {
        return [this](uint64_t address, int32_t width, int32_t height) {
            for (const auto& store : {decode.picture.pixels, decode.icon.color, decode.icon.mask}) {
                if (reinterpret_cast<uintptr_t>(store->Data()) != address) continue;
                if (store->Width() != width || store->Height() != height) return Store();
                auto copy = PixelStore::Allocate(width, height);
                std::memcpy(copy->Data(), store->Data(), store->PixelCount() * 4);
                return copy;
            }
            return Store();
        };
    }
    using Store = std::shared_ptr<PixelStore>;
    ChildDecode decode;
};

class ChildRecordTest : public ::testing::TestWithParam<LieCase> {};

TEST(ChildRecordTest, HonestRecordIsBelieved) {
    const HonestDecode honest;
    for (const ChildTask task :
         {ChildTask::Picture, ChildTask::Icon, ChildTask::PlaceableWmf, ChildTask::Emf}) {
        ChildDecode out;
        EXPECT_TRUE(
            ReadChildRecord(EncodeChildRecord(task, honest.decode), task, honest.Fetch(), out));
        EXPECT_EQ(out.result, Decoded);
        EXPECT_TRUE(SamePixels(out.picture.pixels, task == ChildTask::Picture
                                                       ? honest.decode.picture.pixels
                                                       : nullptr));
        EXPECT_TRUE(
            SamePixels(out.icon.mask, task == ChildTask::Icon ? honest.decode.icon.mask : nullptr));
    }
}

TEST_P(ChildRecordTest, LieIsRefused) {
    const LieCase& c = GetParam();
    const HonestDecode honest;
    ChildRecordBytes bytes = EncodeChildRecord(c.task, honest.decode);
    ChildDecodeRecord record;
    std::memcpy(&record, bytes.data(), sizeof record);
    c.lie(record);
    std::memcpy(bytes.data(), &record, sizeof record);
    ChildDecode out;
    EXPECT_FALSE(ReadChildRecord(bytes, c.task, honest.Fetch(), out));
}

INSTANTIATE_TEST_SUITE_P(
    EveryField, ChildRecordTest,
    ::testing::Values(
        LieCase{"Magic", ChildTask::Picture, [](auto& r) { r.magic ^= 1; }},
        LieCase{"OtherTask", ChildTask::Picture, [](auto& r) { r.task = 3; }},
        LieCase{"StatusOutOfRange", ChildTask::Picture, [](auto& r) { r.status = 99; }},
        LieCase{"RowOutOfRange", ChildTask::Picture, [](auto& r) { r.row = 1000; }},
        LieCase{"NoWidth", ChildTask::Picture, [](auto& r) { r.width = r.stores[0].width = 0; }},
        LieCase{"HugeHeight", ChildTask::Picture,
                [](auto& r) { r.height = r.stores[0].height = 1 << 30; }},
        LieCase{"NoSampleBits", ChildTask::Picture, [](auto& r) { r.sampleBits = 0; }},
        LieCase{"SamplesWiderThanPixels", ChildTask::Picture, [](auto& r) { r.sampleBits = 64; }},
        LieCase{"Channels", ChildTask::Picture, [](auto& r) { r.channels = 9; }},
        LieCase{"AlphaKind", ChildTask::Picture, [](auto& r) { r.alpha = 9; }},
        LieCase{"Resolution", ChildTask::Picture, [](auto& r) { r.dpiX = std::nanf(""); }},
        LieCase{"NegativeResolution", ChildTask::Picture, [](auto& r) { r.dpiY = -1; }},
        LieCase{"StoreOfAnotherSize", ChildTask::Picture, [](auto& r) { r.stores[0].width = 8; }},
        LieCase{"StoreTheChildDoesNotHave", ChildTask::Picture,
                [](auto& r) { r.stores[0].address += 4; }},
        LieCase{"SecondStore", ChildTask::Picture, [](auto& r) { r.stores[1] = r.stores[0]; }},
        LieCase{"LongReason", ChildTask::Picture, [](auto& r) { r.reasonLength = 200; }},
        LieCase{"UnprintableReason", ChildTask::Picture,
                [](auto& r) {
                    r.reasonLength = 1;
                    r.reason[0] = '\n';
                }},
        LieCase{"IconMaskOfAnotherSize", ChildTask::Icon, [](auto& r) { r.stores[1].height = 4; }},
        LieCase{"ReasonOfASuccess", ChildTask::Picture,
                [](auto& r) {
                    r.reasonLength = 3;
                    std::memcpy(r.reason, "png", 3);
                }},
        LieCase{"MonochromeIconWithColour", ChildTask::Icon, [](auto& r) { r.imageBits = 1; }},
        LieCase{"WmfWithoutUnits", ChildTask::PlaceableWmf,
                [](auto& r) { r.wmf.unitsPerInch = 0; }},
        LieCase{"EmfSignature", ChildTask::Emf, [](auto& r) { r.emf.dSignature = 0; }},
        LieCase{"EmfShorterThanItsHeader", ChildTask::Emf, [](auto& r) { r.emf.nBytes = 100; }}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace pic2pnm::codecs

// The buffered text writer: where it flushes, what reaches the file, and how it fails.
#include "output/buffered_out.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "helpers/capture_console.h"
#include "helpers/capture_error.h"
#include "helpers/capture_writes.h"
#include "helpers/test_files.h"
#include "runtime/file_numbers.h"
#include "runtime/output_blocks.h"
#include "runtime/run_time_error.h"

namespace pic2pnm {
namespace {

using testing::CaptureConsole;
using testing::CaptureError;
using testing::CaptureFileWrites;
using testing::RaisedNumber;
using testing::ReadFileText;
using testing::TempDir;
using testing::WriteFileText;

// Text of the given length whose characters depend on `seed`, so that texts swapped or cut
// at the wrong place show up in the file.
std::string Piece(size_t length, size_t seed) {
    std::string text(length, ' ');
    for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('!' + (seed * 7 + i) % 90);
    return text;
}

std::vector<size_t> Repeat(size_t length, size_t times) {
    return std::vector<size_t>(times, length);
}

std::vector<size_t> Append(std::vector<size_t> lengths, size_t length) {
    lengths.push_back(length);
    return lengths;
}

struct FlushCase {
    const char* name;
    std::vector<size_t> texts;   // lengths of the texts added, in order
    std::vector<size_t> writes;  // lengths of the writes expected while adding them
    int32_t bufferLen;           // pending text afterwards
};

const std::vector<FlushCase>& FlushCases() {
    static const std::vector<FlushCase> cases = {
        {"texts adding up to exactly 1024 stay pending", {512, 512}, {}, 1024},
        {"one character after a full buffer writes the 1024 first", {512, 512, 1}, {1024}, 1},
        {"1024 single characters then one more", Append(Repeat(1, 1024), 1), {1024}, 1},
        {"1024 characters into an empty buffer go out at once", {1024}, {1024}, 0},
        {"1025 characters into an empty buffer go out at once", {1025}, {1025}, 0},
        {"1023 characters are buffered", {1023}, {}, 1023},
        {"900 then 124 fill the buffer", {900, 124}, {}, 1024},
        {"900 then 125 write the 900 and keep the 125", {900, 125}, {900}, 125},
        {"1023 then 2 write the 1023", {1023, 2}, {1023}, 2},
        {"10 then 2000 write the 10, then the 2000", {10, 2000}, {10, 2000}, 0},
        {"1 then 1024 write the 1, then the 1024", {1, 1024}, {1, 1024}, 0},
        {"a long text then a short one", {2000, 3}, {2000}, 3},
        {"an empty text changes nothing", {0}, {}, 0},
        {"an empty text on a full buffer changes nothing", {512, 512, 0}, {}, 1024},
        {"a run of 1000-character texts", Repeat(1000, 4), {1000, 1000, 1000}, 1000},
    };
    return cases;
}

TEST(BufferedOutTest, FlushesWhereTheBufferOverflowsAndTheFileGetsEveryTextInOrder) {
    for (const FlushCase& c : FlushCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = (dir / "out.txt").string();
        std::string all;
        CaptureFileWrites capture;
        CBufferedOut out;
        out.OpenFile(path);
        for (size_t i = 0; i < c.texts.size(); ++i) {
            const std::string text = Piece(c.texts[i], i);
            all += text;
            out.WriteFile(text);
        }
        EXPECT_EQ(capture.Sizes(), c.writes);
        EXPECT_EQ(out.BufferLen(), c.bufferLen);
        EXPECT_EQ(capture.Joined(), all.substr(0, all.size() - static_cast<size_t>(c.bufferLen)));
        for (const testing::CapturedWrite& write : capture.Writes())
            EXPECT_EQ(write.number, out.FileNumber());

        capture.Clear();
        out.CloseFile();
        const std::vector<size_t> closingWrites =
            c.bufferLen == 0 ? std::vector<size_t>{} : std::vector<size_t>{size_t(c.bufferLen)};
        EXPECT_EQ(capture.Sizes(), closingWrites);
        EXPECT_EQ(out.FileNumber(), 0);
        EXPECT_EQ(out.BufferLen(), 0);
        EXPECT_EQ(ReadFileText(path), all);
    }
}

// A pixel's text goes through the fixed-size path; it must flush and land exactly where the
// same characters given as a string would.
TEST(BufferedOutTest, ShortTextsFlushAndLandLikeTheSameCharactersAsAString) {
    ShortText twelve;
    twelve.low = 0x2035353220353532ull;  // "255 255 " little-endian
    twelve.high = 0x20353532ull;         // "255 "
    twelve.length = 12;
    ASSERT_EQ(twelve.ToString(), "255 255 255 ");
    for (size_t before = 1005; before <= 1024; ++before) {
        SCOPED_TRACE(before);
        std::vector<size_t> sizes[2];
        std::string files[2];
        for (int asString = 0; asString < 2; ++asString) {
            TempDir dir;
            CaptureFileWrites capture;
            CBufferedOut out;
            out.OpenFile((dir / "out.txt").string());
            out.WriteFile(Piece(before, 1));
            for (int i = 0; i < 3; ++i) {
                if (asString != 0)
                    out.WriteFile(twelve.ToString());
                else
                    out.WriteFile(twelve);
            }
            out.CloseFile();
            sizes[asString] = capture.Sizes();
            files[asString] = ReadFileText(dir / "out.txt");
        }
        EXPECT_EQ(sizes[0], sizes[1]);
        EXPECT_EQ(files[0], files[1]);
        EXPECT_EQ(files[0], Piece(before, 1) + "255 255 255 255 255 255 255 255 255 ");
    }
}

TEST(BufferedOutTest, PrintFileAddsCarriageReturnAndLineFeed) {
    struct Case {
        std::string text;
        std::vector<size_t> writes;
        int32_t bufferLen;
    };
    const std::vector<Case> cases = {
        {"", {}, 2},
        {"ab", {}, 4},
        {Piece(1021, 1), {}, 1023},
        {Piece(1022, 2), {1024}, 0},
        {Piece(1023, 3), {1025}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.size());
        TempDir dir;
        CaptureFileWrites capture;
        CBufferedOut out;
        out.OpenFile((dir / "out.txt").string());
        out.PrintFile(c.text);
        EXPECT_EQ(capture.Sizes(), c.writes);
        EXPECT_EQ(out.BufferLen(), c.bufferLen);
        out.CloseFile();
        EXPECT_EQ(ReadFileText(dir / "out.txt"), c.text + "\r\n");
    }
}

TEST(BufferedOutTest, EmptyTextsAndEmptyFlushesWriteNothing) {
    TempDir dir;
    CaptureFileWrites capture;
    CBufferedOut out;
    out.OpenFile((dir / "out.txt").string());
    out.WriteFile("");
    out.FlushBuffer();
    EXPECT_EQ(out.BufferLen(), 0);
    out.WriteFile("abc");
    out.WriteFile("");
    EXPECT_EQ(out.BufferLen(), 3);
    out.FlushBuffer();
    out.FlushBuffer();
    EXPECT_EQ(capture.Sizes(), std::vector<size_t>{3});
    out.CloseFile();
    EXPECT_EQ(ReadFileText(dir / "out.txt"), "abc");
}

TEST(BufferedOutTest, FlushingNothingSucceedsWithoutAnOpenFile) {
    const int openBefore = OpenFileCount();
    CaptureFileWrites capture;
    CBufferedOut neverOpened;
    EXPECT_EQ(RaisedNumber([&] { neverOpened.FlushBuffer(); }), 0);

    TempDir dir;
    CBufferedOut closed;
    closed.OpenFile((dir / "out.txt").string());
    closed.CloseFile();
    EXPECT_EQ(RaisedNumber([&] { closed.FlushBuffer(); }), 0);
    EXPECT_EQ(RaisedNumber([&] { closed.CloseFile(); }), 0);
    EXPECT_TRUE(capture.Writes().empty());
    EXPECT_EQ(OpenFileCount(), openBefore);
}

TEST(BufferedOutTest, OpeningASecondFileFinishesTheFirstAndEmptiesTheSecond) {
    TempDir dir;
    const std::string first = (dir / "first.txt").string();
    const std::string second = (dir / "second.txt").string();
    WriteFileText(second, "old contents of the second file");
    const int openBefore = OpenFileCount();

    CaptureFileWrites capture;
    CBufferedOut out;
    out.OpenFile(first);
    const int32_t firstNumber = out.FileNumber();
    out.WriteFile("to the first");
    out.OpenFile(second);
    EXPECT_EQ(OpenFileCount(), openBefore + 1);
    EXPECT_EQ(ReadFileText(first), "to the first");
    EXPECT_EQ(ReadFileText(second), "");
    ASSERT_EQ(capture.Writes().size(), 1u);
    EXPECT_EQ(capture.Writes()[0].number, firstNumber);

    out.WriteFile("to the second");
    out.CloseFile();
    EXPECT_EQ(ReadFileText(first), "to the first");
    EXPECT_EQ(ReadFileText(second), "to the second");
    EXPECT_EQ(OpenFileCount(), openBefore);
}

TEST(BufferedOutTest, DestroyingAWriterFinishesItsFileQuietlyAndClearsTheCurrentError) {
    struct Case {
        const char* name;
        bool open;
        bool close;
        std::string pending;
        std::vector<size_t> writes;
    };
    const std::vector<Case> cases = {
        {"never opened", false, false, "", {}},
        {"closed before", true, true, "", {}},
        {"open with pending text", true, false, "pending", {7}},
        {"open without pending text", true, false, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const int openBefore = OpenFileCount();
        CaptureFileWrites capture;
        const std::string console = CaptureConsole([&] {
            auto out = std::make_unique<CBufferedOut>();
            if (c.open) out->OpenFile((dir / "out.txt").string());
            if (c.close) out->CloseFile();
            out->WriteFile(c.pending);
            capture.Clear();
            Err().Set(ErrorNumber::DiskFull, "left over");
            out.reset();
        });
        EXPECT_EQ(console, "");
        EXPECT_EQ(capture.Sizes(), c.writes);
        EXPECT_EQ(Err().Number, 0);
        EXPECT_EQ(Err().Description, "");
        EXPECT_EQ(OpenFileCount(), openBefore);
        if (c.open) {
            EXPECT_EQ(ReadFileText(dir / "out.txt"), c.pending);
        }
    }
}

TEST(BufferedOutTest, AReplacedFileChangesOnlyWhenTheWriterClosesIt) {
    struct Case {
        const char* name;
        bool close;         // CloseFile before the writer goes
        std::string after;  // the file's contents afterwards
    };
    const std::vector<Case> cases = {
        {"closed", true, "new contents"},
        {"destroyed while open", false, "old contents"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = (dir / "out.txt").string();
        WriteFileText(path, "old contents");
        const int openBefore = OpenFileCount();
        {
            CBufferedOut out;
            out.ReplaceFile(path);
            out.WriteFile("new ");
            out.FlushBuffer();
            out.WriteFile("contents");
            EXPECT_EQ(ReadFileText(path), "old contents");
            if (c.close) out.CloseFile();
        }
        EXPECT_EQ(ReadFileText(path), c.after);
        EXPECT_EQ(OpenFileCount(), openBefore);
    }
}

TEST(BufferedOutTest, OpeningInAMissingFolderRaisesPathNotFound) {
    TempDir dir;
    const int openBefore = OpenFileCount();
    CBufferedOut out;
    const auto error = CaptureError([&] { out.OpenFile((dir / "missing" / "out.txt").string()); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), ErrorNumber::PathNotFound);
    EXPECT_EQ(error->Description(), "Path not found");
    EXPECT_NE(out.FileNumber(), 0);
    EXPECT_EQ(out.FileNumber(), FreeFile());
    EXPECT_EQ(OpenFileCount(), openBefore);
}

TEST(BufferedOutTest, AFullDeviceIsReportedByCloseFileAndTheFileIsGivenBack) {
    const int openBefore = OpenFileCount();
    CBufferedOut out;
    out.OpenFile("/dev/full");
    // Small output stays in the platform's own buffer until the close.
    EXPECT_EQ(RaisedNumber([&] { out.WriteFile(Piece(3000, 0)); }), 0);
    EXPECT_EQ(RaisedNumber([&] { out.WriteFile("pending"); }), 0);
    const auto error = CaptureError([&] { out.CloseFile(); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Number(), ErrorNumber::DiskFull);
    EXPECT_EQ(error->Description(), "Disk full");
    EXPECT_EQ(OpenFileCount(), openBefore);
}

// Adds 1000-character texts to a writer on the full device until one fails (enough text to
// make the platform write to the device before the close), then closes it; gives back the
// error numbers raised.
std::vector<int32_t> FailMidwayOnTheFullDevice(CBufferedOut& out) {
    std::vector<int32_t> errors;
    out.OpenFile("/dev/full");
    for (size_t i = 0; i < 2 * OutputBlocks::BlockSize / 1000 && errors.empty(); ++i) {
        const int32_t number = RaisedNumber([&] { out.WriteFile(Piece(1000, i)); });
        if (number != 0) errors.push_back(number);
    }
    errors.push_back(RaisedNumber([&] { out.CloseFile(); }));
    return errors;
}

TEST(BufferedOutTest, AFullDeviceFailingMidwayIsReportedAgainByCloseFile) {
    CBufferedOut out;
    EXPECT_EQ(FailMidwayOnTheFullDevice(out),
              (std::vector<int32_t>{ErrorNumber::DiskFull, ErrorNumber::DiskFull}));
}

// A failed flush skips the close of CloseFile itself; destroying the writer gives the file back.
TEST(BufferedOutTest, AWriterThatFailedMidwayGivesItsFileBack) {
    const int openBefore = OpenFileCount();
    {
        CBufferedOut out;
        FailMidwayOnTheFullDevice(out);
    }
    EXPECT_EQ(OpenFileCount(), openBefore);
    EXPECT_EQ(FreeFile(), 1);
}

// An empty string_view has no storage: the writer must not copy from it.
TEST(BufferedOutTest, AnEmptyTextWithoutStorageChangesNothing) {
    TempDir dir;
    CaptureFileWrites capture;
    CBufferedOut out;
    out.OpenFile((dir / "out.txt").string());
    out.WriteFile(std::string_view{});
    EXPECT_EQ(out.BufferLen(), 0);
    out.WriteFile("x");
    out.WriteFile(std::string_view{});
    EXPECT_EQ(out.BufferLen(), 1);
    out.CloseFile();
    EXPECT_EQ(capture.Sizes(), std::vector<size_t>{1});
    EXPECT_EQ(ReadFileText(dir / "out.txt"), "x");
}

}  // namespace
}  // namespace pic2pnm

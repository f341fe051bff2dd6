// The run-time's numbered files: free numbers, opening, writing, reading, closing and the
// error numbers of failures.
#include "runtime/file_numbers.h"

#include <sched.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "helpers/capture_error.h"
#include "helpers/capture_writes.h"
#include "helpers/test_files.h"
#include "runtime/output_blocks.h"
#include "runtime/run_time_error.h"
#include "testing/testing_hooks.h"

namespace pic2pnm {
namespace {

using testing::CaptureError;
using testing::CaptureFileWrites;
using testing::RaisedNumber;
using testing::ReadFileText;
using testing::TempDir;
using testing::WriteFileText;

// Every test starts and must end with no file open.
class FileNumbersTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(OpenFileCount(), 0); }
    void TearDown() override { EXPECT_EQ(OpenFileCount(), 0); }
};

TEST_F(FileNumbersTest, FreeFileGivesTheLowestFreeNumber) {
    TempDir dir;
    EXPECT_EQ(FreeFile(), 1);
    EXPECT_EQ(FreeFile(), 1);  // asking does not take the number
    for (int32_t number = 1; number <= 3; ++number)
        OpenForOutput(number, (dir / std::to_string(number)).string());
    EXPECT_EQ(FreeFile(), 4);
    CloseFile(2);
    EXPECT_EQ(FreeFile(), 2);
    OpenForOutput(5, (dir / "5").string());
    EXPECT_EQ(FreeFile(), 2);
    CloseFile(1);
    EXPECT_EQ(FreeFile(), 1);
    for (const int32_t number : {3, 5}) CloseFile(number);
    EXPECT_EQ(FreeFile(), 1);
}

TEST_F(FileNumbersTest, FreeFileRaisesTooManyFilesWhenEveryNumberIsTaken) {
    TempDir dir;
    const std::string path = (dir / "shared").string();
    for (int32_t number = 1; number <= MaxFileNumber; ++number) OpenForOutput(number, path);
    EXPECT_EQ(OpenFileCount(), MaxFileNumber);
    EXPECT_EQ(RaisedNumber([] { FreeFile(); }), ErrorNumber::TooManyFiles);
    CloseFile(MaxFileNumber);
    EXPECT_EQ(FreeFile(), MaxFileNumber);
    for (int32_t number = 1; number < MaxFileNumber; ++number) CloseFile(number);
}

TEST_F(FileNumbersTest, NumbersOutsideOneTo511AreBadFileNumbers) {
    TempDir dir;
    const std::string path = (dir / "f").string();
    char byte = 0;
    for (const int32_t number : {0, -1, 512, 100000, std::numeric_limits<int32_t>::min()}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(RaisedNumber([&] { OpenForOutput(number, path); }),
                  ErrorNumber::BadFileNameOrNumber);
        EXPECT_EQ(RaisedNumber([&] { OpenForBinaryRead(number, path); }),
                  ErrorNumber::BadFileNameOrNumber);
        EXPECT_EQ(RaisedNumber([&] { WriteText(number, "x"); }), ErrorNumber::BadFileNameOrNumber);
        EXPECT_EQ(RaisedNumber([&] { ReadBytes(number, &byte, 1); }),
                  ErrorNumber::BadFileNameOrNumber);
        EXPECT_EQ(RaisedNumber([&] { CloseFile(number); }), ErrorNumber::BadFileNameOrNumber);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(FileNumbersTest, MisuseOfAValidNumber) {
    TempDir dir;
    const std::string out = (dir / "out").string();
    const std::string in = (dir / "in").string();
    WriteFileText(in, "abc");
    char byte = 0;

    // Closing a valid number under which nothing is open is no error.
    EXPECT_EQ(RaisedNumber([] { CloseFile(1); }), 0);
    EXPECT_EQ(RaisedNumber([] { CloseFile(MaxFileNumber); }), 0);
    // Nothing open: no writing, no reading.
    EXPECT_EQ(RaisedNumber([] { WriteText(7, "x"); }), ErrorNumber::BadFileNameOrNumber);
    EXPECT_EQ(RaisedNumber([&] { ReadBytes(7, &byte, 1); }), ErrorNumber::BadFileNameOrNumber);

    OpenForOutput(7, out);
    OpenForBinaryRead(8, in);
    // A number is used once at a time.
    const auto again = CaptureError([&] { OpenForOutput(7, in); });
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->Number(), ErrorNumber::FileAlreadyOpen);
    EXPECT_EQ(again->Description(), "File already open");
    EXPECT_EQ(RaisedNumber([&] { OpenForBinaryRead(8, in); }), ErrorNumber::FileAlreadyOpen);
    EXPECT_EQ(ReadFileText(in), "abc");
    // Each file only in its own direction.
    EXPECT_EQ(RaisedNumber([] { WriteText(8, "x"); }), ErrorNumber::BadFileNameOrNumber);
    EXPECT_EQ(RaisedNumber([&] { ReadBytes(7, &byte, 1); }), ErrorNumber::BadFileNameOrNumber);
    EXPECT_EQ(OpenFileCount(), 2);
    CloseFile(7);
    CloseFile(8);
    EXPECT_EQ(RaisedNumber([] { CloseFile(7); }), 0);
    EXPECT_EQ(ReadFileText(out), "");
}

TEST_F(FileNumbersTest, OpenFailuresMapToRunTimeErrors) {
    TempDir dir;
    WriteFileText(dir / "file", "x");
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        const char* name;
        std::string path;
        int32_t forOutput;  // error number of an open for output
        int32_t forRead;    // error number of an open for reading
    };
    const std::vector<Case> cases = {
        {"missing file", (dir / "absent").string(), 0, ErrorNumber::FileNotFound},
        {"missing folder", (dir / "missing" / "f").string(), ErrorNumber::PathNotFound,
         ErrorNumber::FileNotFound},
        {"a file used as a folder", (dir / "file" / "f").string(), ErrorNumber::PathNotFound,
         ErrorNumber::PathNotFound},
        {"a folder", (dir / "folder").string(), ErrorNumber::PathFileAccessError, 0},
        {"empty name", "", ErrorNumber::BadFileNameOrNumber, ErrorNumber::BadFileNameOrNumber},
        {"name with a NUL", std::string("file\0x", 6), ErrorNumber::BadFileNameOrNumber,
         ErrorNumber::BadFileNameOrNumber},
        {"name too long", (dir / std::string(300, 'n')).string(), ErrorNumber::BadFileNameOrNumber,
         ErrorNumber::BadFileNameOrNumber},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Reading first: a successful open for output creates the file.
        const int32_t number = FreeFile();
        EXPECT_EQ(RaisedNumber([&] { OpenForBinaryRead(number, c.path); }), c.forRead);
        if (c.forRead == 0) CloseFile(number);
        EXPECT_EQ(RaisedNumber([&] { OpenForOutput(number, c.path); }), c.forOutput);
        if (c.forOutput == 0) CloseFile(number);
        EXPECT_EQ(OpenFileCount(), 0);
    }
    // Reading a folder opened for reading fails at the read.
    OpenForBinaryRead(1, (dir / "folder").string());
    char byte = 0;
    EXPECT_EQ(RaisedNumber([&] { ReadBytes(1, &byte, 1); }), ErrorNumber::PathFileAccessError);
    CloseFile(1);
}

TEST_F(FileNumbersTest, OperatingSystemErrorsMapToRunTimeErrors) {
    struct Case {
        int osError;
        int32_t forOutput;
        int32_t forRead;
        int32_t forWrite;
    };
    const std::vector<Case> cases = {
        {ENOENT, 76, 53, 57}, {ENOTDIR, 76, 76, 57}, {EACCES, 75, 75, 57},
        {EPERM, 70, 70, 57},  {ETXTBSY, 70, 75, 57}, {ENOSPC, 61, 75, 61},
        {EDQUOT, 61, 75, 61}, {EFBIG, 75, 75, 61},   {ENAMETOOLONG, 52, 52, 57},
        {EMFILE, 67, 67, 57}, {ENFILE, 67, 67, 57},  {EISDIR, 75, 75, 57},
        {EROFS, 75, 75, 57},  {ELOOP, 75, 75, 57},   {EIO, 75, 75, 57},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.osError);
        EXPECT_EQ(ErrorFromOpenForOutput(c.osError), c.forOutput);
        EXPECT_EQ(ErrorFromOpenForRead(c.osError), c.forRead);
        EXPECT_EQ(ErrorFromWrite(c.osError), c.forWrite);
    }
}

TEST_F(FileNumbersTest, OutputReachesTheFileWholeAndInOrder) {
    TempDir dir;
    const std::string path = (dir / "out").string();
    WriteFileText(path, "old contents that must go");
    // Texts around the size of the platform's own output block.
    constexpr size_t block = OutputBlocks::BlockSize;
    const std::vector<size_t> sizes = {1, 0, 1000, block - 1, 2, block, 5, block + block / 2, 3};
    std::string expected;
    CaptureFileWrites capture;
    OpenForOutput(3, path);
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::string text(sizes[i], static_cast<char>('a' + i));
        expected += text;
        WriteText(3, text);
    }
    CloseFile(3);
    EXPECT_EQ(ReadFileText(path), expected);
    EXPECT_EQ(capture.Sizes(), sizes);
    for (const testing::CapturedWrite& write : capture.Writes()) EXPECT_EQ(write.number, 3);
}

TEST_F(FileNumbersTest, ReadingGivesFewerBytesOnlyAtTheEnd) {
    TempDir dir;
    std::string contents(70000, '\0');
    for (size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(i * 31 % 251);
    WriteFileText(dir / "in", contents);
    OpenForBinaryRead(2, (dir / "in").string());
    std::string read(65536, ' ');
    EXPECT_EQ(ReadBytes(2, read.data(), read.size()), 65536u);
    EXPECT_EQ(read, contents.substr(0, 65536));
    EXPECT_EQ(ReadBytes(2, read.data(), read.size()), 70000u - 65536u);
    EXPECT_EQ(read.substr(0, 70000 - 65536), contents.substr(65536));
    EXPECT_EQ(ReadBytes(2, read.data(), read.size()), 0u);
    CloseFile(2);
}

TEST_F(FileNumbersTest, AFullDeviceFailsNoLaterThanTheClose) {
    struct Case {
        const char* name;
        size_t size;
        bool failsAtWrite;
    };
    const std::vector<Case> cases = {
        {"small output fails at the close", 10, false},
        {"a block's worth fails at the close", OutputBlocks::BlockSize - 1, false},
        {"more than a block fails at the write", OutputBlocks::BlockSize + 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenForOutput(4, "/dev/full");
        const int32_t atWrite = RaisedNumber([&] { WriteText(4, std::string(c.size, 'x')); });
        EXPECT_EQ(atWrite, c.failsAtWrite ? ErrorNumber::DiskFull : 0);
        const auto atClose = CaptureError([] { CloseFile(4); });
        if (!c.failsAtWrite) {
            ASSERT_TRUE(atClose.has_value());
            EXPECT_EQ(atClose->Number(), ErrorNumber::DiskFull);
            EXPECT_EQ(atClose->Description(), "Disk full");
        }
        // Whatever happened, the number is free again.
        EXPECT_EQ(OpenFileCount(), 0);
        EXPECT_EQ(RaisedNumber([] { CloseFile(4); }), 0);
    }
}

size_t EntriesIn(const std::filesystem::path& dir) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++count;
    return count;
}

TEST_F(FileNumbersTest, AReplacementReachesItsFileOnlyThroughASuccessfulClose) {
    struct Case {
        const char* name;
        const char* before;  // the file's contents before, null when there is no file
        bool close;          // CloseFile, else ReleaseFile
        const char* after;   // null when no file is left
    };
    const std::vector<Case> cases = {
        {"new file closed", nullptr, true, "new text"},
        {"new file released", nullptr, false, nullptr},
        {"old file closed", "old text", true, "new text"},
        {"old file released", "old text", false, "old text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path path = dir / "out.txt";
        if (c.before != nullptr) WriteFileText(path, c.before);
        OpenForReplacement(6, path.string());
        WriteText(6, std::string(300000, 'n'));  // more than one block reaches the disk
        WriteText(6, "new text");
        // Meanwhile the old file is as it was, and the new text waits beside it.
        EXPECT_EQ(std::filesystem::exists(path), c.before != nullptr);
        if (c.before != nullptr) {
            EXPECT_EQ(ReadFileText(path), c.before);
        }
        EXPECT_EQ(EntriesIn(dir.Path()), c.before != nullptr ? 2u : 1u);
        if (c.close)
            CloseFile(6);
        else
            ReleaseFile(6);
        EXPECT_EQ(EntriesIn(dir.Path()), c.after != nullptr ? 1u : 0u);
        if (c.after != nullptr && c.close) {
            EXPECT_EQ(ReadFileText(path), std::string(300000, 'n') + c.after);
        } else if (c.after != nullptr) {
            EXPECT_EQ(ReadFileText(path), c.after);
        }
        EXPECT_EQ(RaisedNumber([] { CloseFile(6); }), 0);
    }
}

TEST_F(FileNumbersTest, ReleasingADirectFileWritesOutWhatItHolds) {
    TempDir dir;
    const std::string path = (dir / "out.txt").string();
    OpenForOutput(2, path);
    WriteText(2, "held back");
    ReleaseFile(2);
    EXPECT_EQ(ReadFileText(path), "held back");
    // Numbers out of range and numbers with nothing open are no error.
    for (const int32_t number : {0, 2, 512, -5}) ReleaseFile(number);
}

// Runs the calls with the process allowed one processor or all it had, as asked.
class Processors {
  public:
    explicit Processors(bool one) {
        ::sched_getaffinity(0, sizeof all_, &all_);
        if (!one) return;
        cpu_set_t first;
        CPU_ZERO(&first);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &all_)) {
                CPU_SET(cpu, &first);
                break;
            }
        ::sched_setaffinity(0, sizeof first, &first);
    }
    ~Processors() { ::sched_setaffinity(0, sizeof all_, &all_); }
    Processors(const Processors&) = delete;
    Processors& operator=(const Processors&) = delete;
    int Count() const { return CPU_COUNT(&all_); }

  private:
    cpu_set_t all_;
};

size_t ThreadCount() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

TEST_F(FileNumbersTest, AWriterThreadLivesOnlyWhileARegularFileIsOpenOnTwoProcessors) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string path;
        bool oneProcessor;
        bool regular;
    };
    const std::vector<Case> cases = {
        {"regular file", (dir / "out").string(), false, true},
        {"regular file on one processor", (dir / "out").string(), true, true},
        {"device", "/dev/null", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Processors processors(c.oneProcessor);
        const size_t before = ThreadCount();
        const bool threaded = c.regular && !c.oneProcessor && processors.Count() >= 2;
        OpenForOutput(1, c.path);
        WriteText(1, std::string(OutputBlocks::BlockSize + 1, 'x'));
        EXPECT_EQ(ThreadCount(), before + (threaded ? 1 : 0));
        CloseFile(1);
        EXPECT_EQ(ThreadCount(), before);
        // No thread for an output that fills no block.
        OpenForReplacement(1, c.path);
        WriteText(1, std::string(1000, 'x'));
        EXPECT_EQ(ThreadCount(), before);
        WriteText(1, std::string(OutputBlocks::BlockSize, 'x'));
        EXPECT_EQ(ThreadCount(), before + (threaded ? 1 : 0));
        ReleaseFile(1);
        EXPECT_EQ(ThreadCount(), before);
    }
}

// A file that may not grow past `limit` bytes (writes past it fail with EFBIG), for the calls.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousAction_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lower = {limit, previous_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    void Lift() { ::setrlimit(RLIMIT_FSIZE, &previous_); }
    ~FileSizeLimit() {
        Lift();
        std::signal(SIGXFSZ, previousAction_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previousAction_)(int) = SIG_DFL;
};

TEST_F(FileNumbersTest, AFailedWriteIsReportedOnceAndThenWrittenNeitherTwiceNorOutOfOrder) {
    for (const bool oneProcessor : {false, true}) {
        SCOPED_TRACE(oneProcessor ? "one processor" : "all processors");
        Processors processors(oneProcessor);
        TempDir dir;
        const std::string path = (dir / "out").string();
        std::string accepted;
        std::vector<int32_t> errors;
        {
            // The fifth block crosses the limit.
            FileSizeLimit limit(4 * OutputBlocks::BlockSize + 17);
            OpenForOutput(3, path);
            for (int piece = 0; piece < 200 && errors.empty(); ++piece) {
                const std::string text(65536 + piece, static_cast<char>('a' + piece % 26));
                const int32_t error = RaisedNumber([&] { WriteText(3, text); });
                if (error != 0)
                    errors.push_back(error);
                else
                    accepted += text;
            }
            // With room again, the calls that follow write what is left and report nothing.
            limit.Lift();
            const std::string after(10, '!');
            errors.push_back(RaisedNumber([&] { WriteText(3, after); }));
            accepted += after;
        }
        EXPECT_EQ(errors, (std::vector<int32_t>{ErrorNumber::DiskFull, 0}));
        CloseFile(3);
        EXPECT_GT(accepted.size(), 4 * OutputBlocks::BlockSize);
        EXPECT_TRUE(ReadFileText(path) == accepted) << "not every accepted byte once, in order";
    }
}

TEST_F(FileNumbersTest, ObserverSeesEachWriteOnceUntilRemoved) {
    TempDir dir;
    std::vector<std::string> seen;
    SetFileWriteObserver([&](int32_t, std::string_view text) { seen.emplace_back(text); });
    OpenForOutput(1, (dir / "out").string());
    WriteText(1, "one");
    WriteText(1, "two");
    SetFileWriteObserver(nullptr);
    WriteText(1, "three");
    CloseFile(1);
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(ReadFileText(dir / "out"), "onetwothree");
}

}  // namespace
}  // namespace pic2pnm

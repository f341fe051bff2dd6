// Reading picture files: bytes kept after one read are handed to the next read of the same,
// unchanged file, and never stand in for anything else.
#include "imaging/input/picture_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <utime.h>

#include <span>
#include <string>
#include <thread>
#include <vector>

#include "helpers/test_files.h"

namespace pic2pnm {
namespace {

using testing::TempDir;
using testing::WriteFileText;

std::string Text(const PictureFileBytes& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.View().data()), bytes.Size());
}

// Reads `path` and keeps its bytes for the next read; returns where they are held.
const uint8_t* ReadAndKeep(const std::string& path) {
    PictureFileBytes first;
    EXPECT_EQ(ReadPictureFile(path, first), PictureFileStatus::Ok);
    const uint8_t* held = first.View().data();
    KeepForNextRead(path, first);
    EXPECT_EQ(first.Size(), 0u);  // taken over
    return held;
}

TEST(PictureFileTest, TheNextReadOfTheSameFileTakesTheKeptBytes) {
    TempDir dir;
    const std::string path = (dir / "a.png").string();
    WriteFileText(path, "the picture");
    const uint8_t* held = ReadAndKeep(path);
    PictureFileBytes again;
    ASSERT_EQ(ReadPictureFile(path, again), PictureFileStatus::Ok);
    EXPECT_EQ(again.View().data(), held);
    EXPECT_EQ(Text(again), "the picture");
    // Taken once only: a third read reads the file.
    PictureFileBytes third;
    ASSERT_EQ(ReadPictureFile(path, third), PictureFileStatus::Ok);
    EXPECT_EQ(Text(third), "the picture");
}

TEST(PictureFileTest, KeptBytesNeverStandInForAChangedOrOtherFile) {
    TempDir dir;
    const std::string path = (dir / "a.png").string();
    const std::string other = (dir / "b.png").string();
    WriteFileText(path, "first");
    WriteFileText(other, "other");

    ReadAndKeep(path);
    WriteFileText(path, "again");  // same size, new contents
    struct utimbuf times {
        1000000000, 1000000000
    };
    ASSERT_EQ(utime(path.c_str(), &times), 0);
    PictureFileBytes changed;
    ASSERT_EQ(ReadPictureFile(path, changed), PictureFileStatus::Ok);
    EXPECT_EQ(Text(changed), "again");

    ReadAndKeep(path);
    PictureFileBytes elsewhere;
    ASSERT_EQ(ReadPictureFile(other, elsewhere), PictureFileStatus::Ok);
    EXPECT_EQ(Text(elsewhere), "other");
    // Reading another file dropped what was kept.
    WriteFileText(path, "third");
    PictureFileBytes later;
    ASSERT_EQ(ReadPictureFile(path, later), PictureFileStatus::Ok);
    EXPECT_EQ(Text(later), "third");

    ReadAndKeep(path);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    PictureFileBytes gone;
    EXPECT_EQ(ReadPictureFile(path, gone), PictureFileStatus::NotFound);
}

TEST(PictureFileTest, OnlyRegularFilesAreKept) {
    TempDir dir;
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    PictureFileBytes bytes;
    // Bytes that did not come from a regular file: nothing is kept and they are given back.
    ASSERT_TRUE(bytes.Reserve(16, 0));
    bytes.SetSize(16);
    KeepForNextRead(fifo, bytes);
    PictureFileBytes read;
    // A FIFO without a writer reads as empty, not as the 16 bytes above.
    ASSERT_EQ(ReadPictureFile(fifo, read), PictureFileStatus::Ok);
    EXPECT_EQ(read.Size(), 0u);
}

// Writes `text` into the FIFO at `path` from another thread, then closes it.
class FifoWriter {
  public:
    FifoWriter(const std::string& path, std::string text)
        : thread_([path, text] {
              const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
              if (fd < 0) return;
              EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
              ::close(fd);
          }) {}
    ~FifoWriter() { thread_.join(); }
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;

  private:
    std::thread thread_;
};

TEST(PictureFileTest, APipeIsReadOnceAndItsBytesGoToTheNextRead) {
    TempDir dir;
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A read end held open lets the writer in and keeps its bytes in the pipe once it has gone.
    const int holder = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    { FifoWriter writer(fifo, "streamed picture"); }
    PictureFileBytes first;
    EXPECT_EQ(ReadPictureFile(fifo, first), PictureFileStatus::Ok);
    EXPECT_EQ(Text(first), "streamed picture");
    KeepForNextRead(fifo, first);
    // The writer has gone: only the kept bytes can give the picture again.
    PictureFileBytes second;
    ASSERT_EQ(ReadPictureFile(fifo, second), PictureFileStatus::Ok);
    EXPECT_EQ(Text(second), "streamed picture");
    // Taken once: a third read finds the pipe empty.
    PictureFileBytes third;
    EXPECT_EQ(ReadPictureFile(fifo, third), PictureFileStatus::Ok);
    EXPECT_EQ(third.Size(), 0u);
    ::close(holder);
}

struct CutCase {
    const char* name;
    size_t cutTo;   // of a file of CutFileBytes bytes, each 'x'
    size_t readAt;  // read after the cut
    bool damaged;
};

constexpr size_t CutFileBytes = 3 * 4096;

class CutShortTest : public ::testing::TestWithParam<CutCase> {};

// A file cut short by someone else while its bytes are in use reads as zeros past the cut,
// never as a SIGBUS, and its bytes say they are no longer the file's.
TEST_P(CutShortTest, ReadsZerosPastTheCutAndSaysSo) {
    const CutCase& c = GetParam();
    TempDir dir;
    const std::string path = (dir / "cut.png").string();
    WriteFileText(path, std::string(CutFileBytes, 'x'));
    PictureFileBytes bytes;
    ASSERT_EQ(ReadPictureFile(path, bytes), PictureFileStatus::Ok);
    ASSERT_EQ(bytes.Size(), CutFileBytes);
    const volatile uint8_t before = bytes.View()[100];
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(c.cutTo)), 0);
    const volatile uint8_t after = bytes.View()[c.readAt];
    EXPECT_EQ(before, 'x');
    EXPECT_EQ(after, c.readAt < c.cutTo ? 'x' : 0);
    EXPECT_EQ(bytes.Damaged(), c.damaged);
    // Once a decode child has the bytes, the parent gives them back and still knows.
    bytes.GiveBackKeepingWatch();
    EXPECT_EQ(bytes.Size(), 0u);
    EXPECT_EQ(bytes.Damaged(), c.damaged);
}

// The bytes given back first, the file cut afterwards (while a child decodes it).
TEST(PictureFileTest, AFileCutAfterItsBytesWereGivenBackIsToldApart) {
    for (const bool cut : {false, true}) {
        TempDir dir;
        const std::string path = (dir / "watched.png").string();
        WriteFileText(path, std::string(CutFileBytes, 'x'));
        PictureFileBytes bytes;
        ASSERT_EQ(ReadPictureFile(path, bytes), PictureFileStatus::Ok);
        bytes.GiveBackKeepingWatch();
        if (cut) {
            ASSERT_EQ(::truncate(path.c_str(), 100), 0);
        }
        EXPECT_EQ(bytes.Damaged(), cut);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CutShortTest,
                         ::testing::Values(CutCase{"Unchanged", CutFileBytes, 9000, false},
                                           CutCase{"CutToNothing", 0, 0, true},
                                           CutCase{"CutBeforeThePageRead", 5000, 9000, true},
                                           CutCase{"CutWithinThePageRead", 5000, 6000, true},
                                           CutCase{"CutAfterWhatIsRead", 10000, 100, true}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// The handler for cut files takes only the faults in their bytes: any other SIGBUS still ends
// the program.
TEST(PictureFileDeathTest, ABusErrorElsewhereStillEndsTheProgram) {
    TempDir dir;
    const std::string path = (dir / "a.png").string();
    WriteFileText(path, "mapped first, so that the handler is in place");
    PictureFileBytes bytes;
    ASSERT_EQ(ReadPictureFile(path, bytes), PictureFileStatus::Ok);
    EXPECT_DEATH(::raise(SIGBUS), "");
}

// "NB" files need ten bytes; "RW" files are rearranged by their decoder.
FileReading ReadingOfTestFile(std::span<const uint8_t> head, uint64_t) {
    const bool nb = head.size() >= 2 && head[0] == 'N' && head[1] == 'B';
    const bool rw = head.size() >= 2 && head[0] == 'R' && head[1] == 'W';
    return {nb ? 10u : 0u, rw};
}

struct PartialReadCase {
    const char* name;
    std::string start;
    size_t fileBytes;
    size_t expectedBytes;
    bool mapped;
};

class PartialReadTest : public ::testing::TestWithParam<PartialReadCase> {};

// A file whose first bytes say few of them matter is read only as far as the first HeadBytes
// (reading fewer saves nothing), and its bytes are never kept as the whole file; one whose
// decoder rearranges its bytes is read into memory whole, not mapped.
TEST_P(PartialReadTest, ReadsWhatTheHeadSaysIsNeeded) {
    const PartialReadCase& c = GetParam();
    TempDir dir;
    const std::string path = (dir / "file").string();
    std::string text = c.start;
    text.resize(c.fileBytes, 'x');
    WriteFileText(path, text);
    PictureFileBytes bytes;
    ASSERT_EQ(ReadPictureFile(path, bytes, ReadingOfTestFile), PictureFileStatus::Ok);
    EXPECT_EQ(bytes.Size(), c.expectedBytes);
    EXPECT_EQ(Text(bytes), text.substr(0, c.expectedBytes));
    EXPECT_EQ(bytes.Identity().regular, c.expectedBytes == c.fileBytes);
    EXPECT_EQ(bytes.Mapped(), c.mapped);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PartialReadTest,
    ::testing::Values(
        PartialReadCase{"LongFileNeedingFew", "NB", 3 * HeadBytes, HeadBytes, true},
        PartialReadCase{"LongFileOfAnotherKind", "XX", 3 * HeadBytes, 3 * HeadBytes, true},
        PartialReadCase{"ShortFileReadWhole", "NB", 100, 100, true},
        PartialReadCase{"JustOverTheHead", "NB", HeadBytes + 1, HeadBytes, true},
        PartialReadCase{"LongFileRearranged", "RW", 3 * HeadBytes, 3 * HeadBytes, false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct GrowCase {
    const char* name;
    size_t from;
    size_t to;
    size_t keep;
};

class GrowBufferTest : public ::testing::TestWithParam<GrowCase> {};

// Growing keeps the first bytes and leaves the rest zero, whether the block is mapped or not.
TEST_P(GrowBufferTest, KeepsTheBytesReadSoFar) {
    const GrowCase& c = GetParam();
    PictureFileBytes bytes;
    ASSERT_TRUE(bytes.Reserve(c.from, 0));
    for (size_t i = 0; i < c.from; ++i) bytes.Data()[i] = static_cast<uint8_t>(i * 13 + 7);
    ASSERT_TRUE(bytes.Reserve(c.to, c.keep));
    ASSERT_EQ(bytes.Capacity(), c.to);
    size_t wrong = 0;
    for (size_t i = 0; i < c.to; ++i) {
        const uint8_t expected = i < c.keep ? static_cast<uint8_t>(i * 13 + 7) : 0;
        if (bytes.Data()[i] != expected) ++wrong;
    }
    EXPECT_EQ(wrong, 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, GrowBufferTest,
                         ::testing::Values(GrowCase{"SmallToSmall", 1000, 2000, 1000},
                                           GrowCase{"SmallToMapped", 60000, 200000, 60000},
                                           GrowCase{"MappedToMapped", 1 << 20, 4 << 20, 1 << 20},
                                           GrowCase{"MappedKeepingPart", 4 << 20, 8 << 20, 1000},
                                           GrowCase{"MappedShrinking", 4 << 20, 1 << 20, 5000}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace pic2pnm

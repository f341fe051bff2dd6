// Reading picture files: bytes kept after one read are handed to the next read of the same,
// unchanged file, and never stand in for anything else.
#include "platform/picture_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <utime.h>

#include <string>
#include <vector>

#include "support/test_files.h"

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

}  // namespace
}  // namespace pic2pnm

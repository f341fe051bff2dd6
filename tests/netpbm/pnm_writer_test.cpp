// The plain Netpbm writer: the exact bytes of the file, the console lines and the exit status.
#include "netpbm/pnm_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "helpers/capture_console.h"
#include "helpers/capture_writes.h"
#include "helpers/test_files.h"
#include "runtime/exit_status.h"
#include "runtime/file_numbers.h"

namespace pic2pnm {
namespace {

using testing::CaptureConsole;
using testing::CaptureFileWrites;
using testing::ReadFileText;
using testing::TempDir;

constexpr int32_t Red = 0xFF0000;
constexpr int32_t White = 0xFFFFFF;
constexpr int32_t Black = 0x000000;

int32_t Rgb(int32_t r, int32_t g, int32_t b) {
    return (r << 16) | (g << 8) | b;
}

// A buffer holding exactly the given elements.
PixelBuffer MakeBuffer(const std::vector<int32_t>& elements) {
    PixelBuffer buffer;
    buffer.ReDim(static_cast<int32_t>(elements.size()) - 1);
    for (size_t i = 0; i < elements.size(); ++i) buffer.Data()[i] = elements[i];
    return buffer;
}

std::string Times(const std::string& text, size_t count) {
    std::string result;
    for (size_t i = 0; i < count; ++i) result += text;
    return result;
}

const std::string Comment = "# Created by Pelorin - Picture to text picture 1.00.0001\n";

struct Result {
    std::string console;
    std::string file;
    int exitStatus;
};

// Writes the picture into a fresh folder and gives back the console, the file and the exit
// status. The exit status starts out as something neither outcome sets.
Result Write(int32_t type, bool noComment, int32_t width, int32_t height,
             const std::vector<int32_t>& elements) {
    TempDir dir;
    ConvertRequest request;
    request.OutputType = type;
    request.NoComment = noComment;
    request.InFileName = "in.png";
    request.OutFileName = (dir / "out.pnm").string();
    PictureInfo info;
    info.Width = width;
    info.Height = height;
    const PixelBuffer pixels = MakeBuffer(elements);
    SetExitStatus(ExitUsage);
    Result result;
    result.console = CaptureConsole([&] { WritePnmFile(request, info, pixels); });
    result.exitStatus = ExitStatus();
    result.file = ReadFileText(request.OutFileName);
    EXPECT_EQ(result.console, "Picture converted: " + request.OutFileName + "\n");
    EXPECT_EQ(result.exitStatus, ExitConverted);
    return result;
}

struct FileCase {
    const char* name;
    int32_t type;
    bool noComment;
    int32_t width;
    int32_t height;
    std::vector<int32_t> elements;  // bottom row first
    std::string expected;
};

const std::vector<FileCase>& FileCases() {
    static const std::vector<FileCase> cases = {
        {"PBM red and white", OutputPbm, true, 2, 1, {Red, White}, "P1\n2 1\n1 0 "},
        {"PGM red and white", OutputPgm, true, 2, 1, {Red, White}, "P2\n2 1\n255\n85 255 "},
        {"PPM red and white",
         OutputPpm,
         true,
         2,
         1,
         {Red, White},
         "P3\n2 1\n255\n255 0 0 255 255 255 "},
        {"PBM with comment", OutputPbm, false, 2, 1, {Red, White}, "P1\n" + Comment + "2 1\n1 0 "},
        {"PGM with comment",
         OutputPgm,
         false,
         2,
         1,
         {Red, White},
         "P2\n" + Comment + "2 1\n255\n85 255 "},
        {"PPM with comment",
         OutputPpm,
         false,
         2,
         1,
         {Red, White},
         "P3\n" + Comment + "2 1\n255\n255 0 0 255 255 255 "},
        {"PBM line of exactly 34 pixels", OutputPbm, true, 34, 1, std::vector<int32_t>(34, White),
         "P1\n34 1\n" + Times("0 ", 34) + "\n"},
        {"PBM 35 pixels wrap after 34", OutputPbm, true, 35, 1, std::vector<int32_t>(35, White),
         "P1\n35 1\n" + Times("0 ", 34) + "\n0 "},
        {"PBM line counter runs across rows", OutputPbm, true, 20, 2,
         std::vector<int32_t>(40, Black), "P1\n20 2\n" + Times("1 ", 34) + "\n" + Times("1 ", 6)},
        {"PGM wraps after 17 pixels",
         OutputPgm,
         true,
         18,
         1,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17},
         "P2\n18 1\n255\n0 0 0 1 1 1 2 2 2 3 3 3 4 4 4 5 5 \n5 "},
        {"PGM line counter runs across rows", OutputPgm, true, 9, 2,
         std::vector<int32_t>(18, White), "P2\n9 2\n255\n" + Times("255 ", 17) + "\n255 "},
        {"PPM 3x2: top row, then the bottom row, wrapping after 5 pixels",
         OutputPpm,
         true,
         3,
         2,
         {Rgb(1, 2, 3), Rgb(4, 5, 6), Rgb(7, 8, 9), Rgb(10, 11, 12), Rgb(13, 14, 15),
          Rgb(16, 17, 18)},
         "P3\n3 2\n255\n10 11 12 13 14 15 16 17 18 1 2 3 4 5 6 \n7 8 9 "},
        {"PPM line of exactly 5 pixels", OutputPpm, true, 5, 1, std::vector<int32_t>(5, Red),
         "P3\n5 1\n255\n" + Times("255 0 0 ", 5) + "\n"},
        {"a column is written top row first",
         OutputPgm,
         true,
         1,
         3,
         {Rgb(10, 10, 10), Rgb(20, 20, 20), Rgb(30, 30, 30)},
         "P2\n1 3\n255\n30 20 10 "},
        {"PBM threshold",
         OutputPbm,
         true,
         7,
         1,
         {Rgb(255, 129, 0), Rgb(127, 127, 127), Rgb(128, 128, 127), Rgb(128, 128, 126),
          Rgb(128, 128, 128), Rgb(255, 128, 0), Rgb(0, 0, 0)},
         "P1\n7 1\n0 1 1 1 0 1 1 "},
        {"PGM drops the remainder",
         OutputPgm,
         true,
         4,
         1,
         {Rgb(255, 255, 254), Rgb(1, 1, 0), Rgb(0, 0, 2), Rgb(10, 20, 31)},
         "P2\n4 1\n255\n254 0 0 20 "},
        {"PPM value widths",
         OutputPpm,
         true,
         2,
         1,
         {Rgb(0, 9, 10), Rgb(99, 100, 255)},
         "P3\n2 1\n255\n0 9 10 99 100 255 "},
        {"PBM width 0", OutputPbm, true, 0, 5, {}, "P1\n0 5\n"},
        {"PGM height 0", OutputPgm, true, 5, 0, {}, "P2\n5 0\n255\n"},
        {"PPM 0x0 with comment", OutputPpm, false, 0, 0, {}, "P3\n" + Comment + "0 0\n255\n"},
        {"spare elements after the picture are not written",
         OutputPgm,
         true,
         1,
         1,
         {White, Black, Black},
         "P2\n1 1\n255\n255 "},
    };
    return cases;
}

TEST(PnmWriterTest, WritesTheExactFile) {
    for (const FileCase& c : FileCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Write(c.type, c.noComment, c.width, c.height, c.elements).file, c.expected);
    }
}

TEST(PnmWriterTest, BitsAboveRedNeverChangeTheOutput) {
    const std::vector<int32_t> pixels = {
        Red, White, Black, Rgb(1, 2, 3), Rgb(127, 128, 129), Rgb(200, 100, 50)};
    for (const int32_t high : {0x01000000, 0x7F000000, static_cast<int32_t>(0x80000000u),
                               static_cast<int32_t>(0xFF000000u)}) {
        std::vector<int32_t> withHighBits;
        for (int32_t pixel : pixels) withHighBits.push_back(pixel | high);
        for (const int32_t type : {OutputPbm, OutputPgm, OutputPpm}) {
            SCOPED_TRACE(::testing::Message()
                         << "high bits " << std::hex << high << " type " << type);
            EXPECT_EQ(Write(type, true, 3, 2, withHighBits).file,
                      Write(type, true, 3, 2, pixels).file);
        }
    }
}

TEST(PnmWriterTest, WritesOneTextPerValueThroughTheBuffer) {
    struct Case {
        const char* name;
        int32_t type;
        std::vector<size_t> writes;
    };
    // 1025 black pixels in one row: PBM values are "1 " with a line feed after every 34;
    // PGM values are "0 " with a line feed after every 17.
    const std::vector<Case> cases = {
        {"PBM", OutputPbm, {1024, 1023, 43}},
        {"PGM", OutputPgm, {1024, 1024, 76}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureFileWrites capture;
        const Result result = Write(c.type, true, 1025, 1, std::vector<int32_t>(1025, Black));
        EXPECT_EQ(capture.Sizes(), c.writes);
        EXPECT_EQ(capture.Joined(), result.file);
    }
}

// A failure leaves no part of the picture: a file that existed keeps its old contents, and
// a new name stays free.
TEST(PnmWriterTest, ReportsAFailureAndLeavesNoPartOfThePicture) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string path;
        int32_t type;
        int32_t width;
        int32_t height;
        std::vector<int32_t> elements;
        std::string error;
        const char* fileBefore;  // null when there is no file before the run
        const char* written;     // the text handed to the file, up to the failure
    };
    const std::vector<Case> cases = {
        {"buffer one element short",
         (dir / "short.pgm").string(),
         OutputPgm,
         2,
         2,
         {Rgb(1, 1, 1), Rgb(2, 2, 2), Rgb(3, 3, 3)},
         "Error 9: Subscript out of range",
         nullptr,
         "P2\n2 2\n255\n3 "},
        {"empty buffer",
         (dir / "empty.ppm").string(),
         OutputPpm,
         1,
         1,
         {},
         "Error 9: Subscript out of range",
         nullptr,
         "P3\n1 1\n255\n"},
        {"buffer ends inside the top row",
         (dir / "row.pbm").string(),
         OutputPbm,
         3,
         2,
         {Black, Black, Black, White},
         "Error 9: Subscript out of range",
         nullptr,
         "P1\n3 2\n0 "},
        {"buffer short over an existing file",
         (dir / "old.pgm").string(),
         OutputPgm,
         2,
         2,
         {Rgb(1, 1, 1)},
         "Error 9: Subscript out of range",
         "P2\n1 1\n255\n7 ",
         "P2\n2 2\n255\n"},
        {"folder missing",
         (dir / "missing" / "out.pbm").string(),
         OutputPbm,
         1,
         1,
         {White},
         "Error 76: Path not found",
         nullptr,
         ""},
        {"full device",
         "/dev/full",
         OutputPpm,
         2,
         1,
         {Red, White},
         "Error 61: Disk full",
         nullptr,
         "P3\n2 1\n255\n255 0 0 255 255 255 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fileBefore != nullptr) testing::WriteFileText(c.path, c.fileBefore);
        ConvertRequest request;
        request.OutputType = c.type;
        request.NoComment = true;
        request.OutFileName = c.path;
        PictureInfo info;
        info.Width = c.width;
        info.Height = c.height;
        const PixelBuffer pixels = MakeBuffer(c.elements);
        const int openBefore = OpenFileCount();
        SetExitStatus(ExitConverted);
        CaptureFileWrites capture;
        const std::string console = CaptureConsole([&] { WritePnmFile(request, info, pixels); });
        EXPECT_EQ(capture.Joined(), c.written);
        EXPECT_EQ(console, "Can't write file: " + c.path + "\n" + c.error + "\n");
        EXPECT_EQ(ExitStatus(), ExitFailed);
        EXPECT_EQ(OpenFileCount(), openBefore);
        if (c.fileBefore != nullptr) {
            EXPECT_EQ(ReadFileText(c.path), c.fileBefore);
        } else {
            EXPECT_FALSE(std::filesystem::is_regular_file(c.path));
        }
    }
    // Nothing but the files written before the runs is left in the folder.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"old.pgm"});
}

// A picture big enough to reach the full device before the close: the report comes, and the
// released writer gives its file number back.
TEST(PnmWriterTest, ALargePictureOnAFullDeviceGivesItsFileBack) {
    ConvertRequest request;
    request.OutputType = OutputPpm;
    request.NoComment = true;
    request.OutFileName = "/dev/full";
    PictureInfo info;
    info.Width = 300;
    info.Height = 300;
    const PixelBuffer pixels = MakeBuffer(std::vector<int32_t>(300 * 300, White));
    const int openBefore = OpenFileCount();
    const std::string console = CaptureConsole([&] { WritePnmFile(request, info, pixels); });
    EXPECT_EQ(console, "Can't write file: /dev/full\nError 61: Disk full\n");
    EXPECT_EQ(ExitStatus(), ExitFailed);
    EXPECT_EQ(OpenFileCount(), openBefore);
}

}  // namespace
}  // namespace pic2pnm

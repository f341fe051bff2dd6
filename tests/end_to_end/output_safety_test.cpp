// What a run leaves behind when writing its output: a regular file is replaced only by a
// complete picture; failures, signals and a second run on the same name never leave half a
// picture or destroy the old file; devices, FIFOs and standard output are written directly;
// a console line is always one line.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "helpers/run_program.h"
#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

constexpr int TimeoutSeconds = 30;

void PutLittleEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + static_cast<size_t>(i)] = (value >> (8 * i)) & 0xFF;
}

// An uncompressed 24-bit BMP of pseudo-random pixels: every seed gives another picture, and
// its text output has no repeating stretch that would hide a block written twice.
std::vector<uint8_t> NoiseBmp(uint32_t width, uint32_t height, uint32_t seed) {
    const uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bmp(54 + size_t{rowBytes} * height, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLittleEndian(bmp, 2, static_cast<uint32_t>(bmp.size()), 4);
    PutLittleEndian(bmp, 10, 54, 4);
    PutLittleEndian(bmp, 14, 40, 4);
    PutLittleEndian(bmp, 18, width, 4);
    PutLittleEndian(bmp, 22, height, 4);
    PutLittleEndian(bmp, 26, 1, 2);
    PutLittleEndian(bmp, 28, 24, 2);
    uint32_t state = seed * 2654435761u + 1;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            bmp[54 + size_t{y} * rowBytes + x] = static_cast<uint8_t>(state >> 24);
        }
    return bmp;
}

// Writes a noise picture and gives back its PPM text, as a run on a fresh name writes it.
std::string MakePicture(const fs::path& bmp, uint32_t width, uint32_t height, uint32_t seed) {
    WriteFileBytes(bmp, NoiseBmp(width, height, seed));
    TempDir fresh;
    const fs::path out = fresh / "reference.ppm";
    const ProgramRun run = RunProgram({"PPM", bmp.string(), out.string()}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    return fs::exists(out) ? ReadFileText(out) : std::string();
}

std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

// The environment that preloads the write() stand-in, with its settings.
std::vector<std::pair<std::string, std::string>> WithShim(
    std::vector<std::pair<std::string, std::string>> settings) {
    settings.emplace_back("LD_PRELOAD", PIC2PNM_WRITE_SHIM);
    // A sanitizer build wants its runtime first among the libraries; the stand-in comes first.
    const char* asan = std::getenv("ASAN_OPTIONS");
    settings.emplace_back("ASAN_OPTIONS",
                          std::string(asan == nullptr ? "" : asan) + ":verify_asan_link_order=0");
    return settings;
}

// --- Regular files: replaced whole or not at all ----------------------------------------------

// A run whose write fails half way (the disk fills up) over an existing file.
struct FailedWriteCase {
    const char* name;
    const char* out;  // the output name in the folder that holds picture.bmp
    bool isLink;      // `out` is a link to the input
};

class FailedWriteTest : public ::testing::TestWithParam<FailedWriteCase> {};

// The first large write stops after 1000 bytes and the next finds the disk full.
TEST_P(FailedWriteTest, ShortWriteThenFullDiskLeavesTheOldFileAndNoTemporary) {
    const FailedWriteCase& c = GetParam();
    TempDir dir;
    const fs::path in = dir / "picture.bmp";
    MakePicture(in, 120, 90, 1);
    const std::string input = ReadFileText(in);
    const fs::path out = dir / c.out;
    if (c.isLink)
        fs::create_symlink("picture.bmp", out);
    else if (out != in)
        WriteFileText(out, "the old picture");
    const std::string before = ReadFileText(out);

    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    options.environment = WithShim({{"PIC2PNM_SHIM_SHORT_WRITE", "1000"}});
    const ProgramRun run = RunProgram({"PPM", in.string(), out.string()}, options);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't write file: " + out.string() + "\nError 61: Disk full\n");
    EXPECT_EQ(ReadFileText(out), before);
    EXPECT_EQ(ReadFileText(in), input);
    EXPECT_EQ(fs::is_symlink(out), c.isLink);
    EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"picture.bmp", c.out}));
}

INSTANTIATE_TEST_SUITE_P(
    OverAnExistingFile, FailedWriteTest,
    ::testing::Values(FailedWriteCase{"OldOutput", "out.ppm", false},
                      FailedWriteCase{"OutputIsTheInput", "picture.bmp", false},
                      FailedWriteCase{"OutputIsALinkToTheInput", "link.bmp", true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// Written directly (here, standard output redirected to a file), the output cannot be kept
// whole; what is left must be the picture up to the failure, never a block sent twice.
TEST(FailedWriteTest, ShortWriteThenFullDiskLeavesAPrefixOfADirectOutput) {
    TempDir dir;
    const fs::path in = dir / "picture.bmp";
    // Seventeen megabytes of text: far more than the program holds on its way to the file, so
    // that the failure is found while the picture is still being written.
    const std::string picture = MakePicture(in, 1200, 1200, 13);
    const fs::path file = dir / "redirected.ppm";
    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    options.standardOutputPath = file.string();
    options.environment = WithShim({{"PIC2PNM_SHIM_SHORT_WRITE", "1000"}});
    const ProgramRun run = RunProgram({"PPM", in.string(), "/dev/stdout"}, options);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't write file: /dev/stdout\nError 61: Disk full\n");
    const std::string left = ReadFileText(file);
    EXPECT_GT(left.size(), 1000u);
    EXPECT_LT(left.size(), picture.size());
    // Compared as a whole, without printing a megabyte of text when it fails.
    EXPECT_TRUE(left == picture.substr(0, left.size())) << "not a prefix of the picture";
}

// --- Durability: the disk is waited on only where a crash could lose the input ---------------

struct DurabilityCase {
    const char* name;
    const char* in;       // the input name; a symbolic link to picture.bmp unless the same
    const char* out;      // the output name in the same folder
    const char* outLink;  // when not null, `out` is a symbolic link to this
    bool outHardLink;     // `out` is a hard link to picture.bmp
    bool outExists;       // `out` is another file before the run
    const char* syncs;    // what the program syncs, in order (the shim's log)
};

class DurabilityTest : public ::testing::TestWithParam<DurabilityCase> {};

TEST_P(DurabilityTest, OnlyAnOutputThatReplacesItsInputIsSynced) {
    const DurabilityCase& c = GetParam();
    TempDir dir;
    TempDir logs;
    const fs::path picture = dir / "picture.bmp";
    const std::string text = MakePicture(picture, 50, 40, 14);
    const fs::path in = dir / c.in;
    const fs::path out = dir / c.out;
    if (in != picture) fs::create_symlink("picture.bmp", in);
    if (c.outLink != nullptr) fs::create_symlink(c.outLink, out);
    if (c.outHardLink) fs::create_hard_link(picture, out);
    if (c.outExists) WriteFileText(out, "the old picture");
    const fs::path log = logs / "syncs";

    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    options.environment = WithShim({{"PIC2PNM_SHIM_SYNC_LOG", log.string()}});
    const ProgramRun run = RunProgram({"PPM", in.string(), out.string()}, options);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output, "Picture converted: " + out.string() + "\n");
    EXPECT_EQ(ReadFileText(out), text);
    EXPECT_EQ(fs::exists(log) ? ReadFileText(log) : std::string(), c.syncs);
}

INSTANTIATE_TEST_SUITE_P(
    EveryWayToNameTheInput, DurabilityTest,
    ::testing::Values(
        DurabilityCase{"NewFile", "picture.bmp", "out.ppm", nullptr, false, false, ""},
        DurabilityCase{"AnotherFile", "picture.bmp", "out.ppm", nullptr, false, true, ""},
        DurabilityCase{"TheInput", "picture.bmp", "picture.bmp", nullptr, false, false,
                       "file\nfolder\n"},
        DurabilityCase{"ALinkToTheInput", "picture.bmp", "link.bmp", "picture.bmp", false, false,
                       "file\nfolder\n"},
        DurabilityCase{"AHardLinkToTheInput", "picture.bmp", "hard.bmp", nullptr, true, false,
                       "file\nfolder\n"},
        DurabilityCase{"TheInputReadThroughALink", "link.bmp", "picture.bmp", nullptr, false, false,
                       "file\nfolder\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A small file system of its own, for a disk that really fills up. Needs the right to mount.
class SmallFileSystem {
  public:
    SmallFileSystem(const fs::path& at, const char* size) : at_(at) {
        fs::create_directory(at_);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, size) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool Mounted() const { return mounted_; }

  private:
    fs::path at_;
    bool mounted_ = false;
};

TEST(FullDiskTest, OutputNamedAsTheInputOnAFullDiskKeepsTheInput) {
    TempDir dir;
    SmallFileSystem disk(dir / "disk", "size=128k");
    if (!disk.Mounted()) GTEST_SKIP() << "no right to mount a small file system here";
    // 32 KiB of picture, over 100 KiB of text: the text cannot fit beside it.
    const fs::path in = dir / "disk" / "picture.bmp";
    WriteFileBytes(in, NoiseBmp(100, 100, 2));
    const std::vector<uint8_t> before = ReadFileBytes(in);
    const ProgramRun run = RunProgram({"PPM", in.string(), in.string()}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't write file: " + in.string() + "\nError 61: Disk full\n");
    EXPECT_EQ(ReadFileBytes(in), before);
    EXPECT_EQ(FilesIn(dir / "disk"), std::set<std::string>{"picture.bmp"});
}

TEST(ConcurrencyTest, TwoRunsOnOneNameLeaveOneWholePicture) {
    TempDir dir;
    const std::string first = MakePicture(dir / "first.bmp", 160, 100, 3);
    const std::string second = MakePicture(dir / "second.bmp", 90, 170, 4);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    const fs::path out = dir / "out.ppm";
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        ProgramRun runs[2];
        std::thread other([&] {
            runs[1] =
                RunProgram({"PPM", (dir / "second.bmp").string(), out.string()}, TimeoutSeconds);
        });
        runs[0] = RunProgram({"PPM", (dir / "first.bmp").string(), out.string()}, TimeoutSeconds);
        other.join();
        for (const ProgramRun& run : runs) {
            EXPECT_EQ(run.exitStatus, 0) << run.output;
            EXPECT_EQ(run.output, "Picture converted: " + out.string() + "\n");
        }
        const std::string left = ReadFileText(out);
        EXPECT_TRUE(left == first || left == second)
            << "the file holds " << left.size() << " bytes that are neither picture";
        EXPECT_EQ(FilesIn(dir.Path()),
                  (std::set<std::string>{"first.bmp", "second.bmp", "out.ppm"}));
    }
}

// The signals stay at their default action in the program, whatever the test runner ignores.
bool DefaultEndingSignals() {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        if (::signal(signalNumber, SIG_DFL) == SIG_ERR) return false;
    return true;
}

class SignalTest : public ::testing::TestWithParam<int> {};

TEST_P(SignalTest, SignalInTheMiddleOfTheOutputKeepsTheOldFile) {
    const int signalNumber = GetParam();
    TempDir dir;
    TempDir marks;
    const fs::path in = dir / "picture.bmp";
    WriteFileBytes(in, NoiseBmp(300, 300, 5));  // about a megabyte of text: several writes
    const fs::path out = dir / "out.ppm";
    WriteFileText(out, "the old picture");
    const fs::path stalled = marks / "stalled";

    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    options.childSetup = DefaultEndingSignals;
    options.environment = WithShim(
        {{"PIC2PNM_SHIM_STALL_AFTER", "1"}, {"PIC2PNM_SHIM_STALL_MARK", stalled.string()}});
    bool signalled = false;
    options.whileRunning = [&](pid_t pid) {
        // The program stops in its second write, with part of the text in its temporary file.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fs::exists(stalled) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        signalled = fs::exists(stalled) && FilesIn(dir.Path()).size() == 3;
        ::kill(pid, signalNumber);
    };
    const ProgramRun run = RunProgram({"PPM", in.string(), out.string()}, options);
    EXPECT_TRUE(signalled) << "the program never stopped with its temporary file beside out.ppm";
    EXPECT_EQ(run.termSignal, signalNumber) << run.output;
    EXPECT_EQ(ReadFileText(out), "the old picture");
    EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"picture.bmp", "out.ppm"}));
}

INSTANTIATE_TEST_SUITE_P(EveryEndingSignal, SignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& testCase) {
                             return std::string(sigabbrev_np(testCase.param));
                         });

// How the output name leads to the file that is replaced.
struct NameCase {
    const char* name;
    const char* link;     // relative link target for "out.ppm", or null: out.ppm is the file
    const char* onwards;  // when not null, `link` is itself a link, to this
    const char* target;   // the file that gets the picture, relative to the folder
    bool targetExists;
};

class OutputNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(OutputNameTest, TheFileTheNameLeadsToIsReplacedAndTheLinkStays) {
    const NameCase& c = GetParam();
    TempDir dir;
    const std::string picture = MakePicture(dir / "picture.bmp", 40, 30, 6);
    fs::create_directory(dir / "sub");
    const fs::path out = dir / "out.ppm";
    const fs::path target = dir / c.target;
    if (c.targetExists) {
        WriteFileText(target, "the old picture");
        ::chmod(target.c_str(), 0640);
    }
    if (c.link != nullptr) fs::create_symlink(c.link, out);
    if (c.onwards != nullptr) fs::create_symlink(c.onwards, dir / c.link);

    const ProgramRun run =
        RunProgram({"PPM", (dir / "picture.bmp").string(), out.string()}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output, "Picture converted: " + out.string() + "\n");
    EXPECT_EQ(ReadFileText(target), picture);
    EXPECT_EQ(fs::is_symlink(out), c.link != nullptr);
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    if (c.targetExists) {
        EXPECT_EQ(status.st_mode & 07777, 0640u);
    }
    // Nothing else is left beside any of the names: the picture, out.ppm, the links and the
    // target are all.
    size_t files = 0;
    for (const fs::path& folder : {dir.Path(), dir / "sub"})
        for (const auto& entry : fs::directory_iterator(folder))
            if (!entry.is_directory()) ++files;
    EXPECT_EQ(files, 2u + (c.link != nullptr) + (c.onwards != nullptr));
}

INSTANTIATE_TEST_SUITE_P(
    FilesAndLinks, OutputNameTest,
    ::testing::Values(
        NameCase{"NewFile", nullptr, nullptr, "out.ppm", false},
        NameCase{"ExistingFileKeepsItsPermissions", nullptr, nullptr, "out.ppm", true},
        NameCase{"LinkIntoAnotherFolder", "sub/target.ppm", nullptr, "sub/target.ppm", true},
        NameCase{"LinkToALink", "chain.ppm", "sub/target.ppm", "sub/target.ppm", true},
        NameCase{"LinkRelativeToItsOwnFolder", "sub/chain.ppm", "target.ppm", "sub/target.ppm",
                 true},
        NameCase{"DanglingLinkCreatesItsTarget", "sub/new.ppm", nullptr, "sub/new.ppm", false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// A folder in which the program may not create a file: as root the program runs as nobody.
bool RunAsNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

struct LockedFolderCase {
    const char* name;
    bool fileExists;
    std::string console;  // with OUT for the output path
};

class LockedFolderTest : public ::testing::TestWithParam<LockedFolderCase> {};

TEST_P(LockedFolderTest, AWritableFileIsWrittenInPlace) {
    const LockedFolderCase& c = GetParam();
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    const fs::path in = dir / "picture.bmp";
    const std::string picture = MakePicture(in, 40, 30, 7);
    ::chmod(in.c_str(), 0644);
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    const fs::path out = locked / "out.ppm";
    ino_t inodeBefore = 0;
    if (c.fileExists) {
        WriteFileText(out, "the old picture, longer than nothing");
        ::chmod(out.c_str(), 0666);
        struct stat status {};
        ::stat(out.c_str(), &status);
        inodeBefore = status.st_ino;
    }
    ::chmod(locked.c_str(), 0555);

    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    if (::geteuid() == 0) options.childSetup = RunAsNobody;
    const ProgramRun run = RunProgram({"PPM", in.string(), out.string()}, options);
    ::chmod(locked.c_str(), 0755);
    ASSERT_NE(run.exitStatus, ChildSetupFailed);
    std::string console = c.console;
    console.replace(console.find("OUT"), 3, out.string());
    EXPECT_EQ(run.output, console);
    if (c.fileExists) {
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(ReadFileText(out), picture);
        struct stat status {};
        ::stat(out.c_str(), &status);
        EXPECT_EQ(status.st_ino, inodeBefore);
    } else {
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_FALSE(fs::exists(out));
    }
}

INSTANTIATE_TEST_SUITE_P(
    NoNewFileAllowed, LockedFolderTest,
    ::testing::Values(LockedFolderCase{"ExistingFile", true, "Picture converted: OUT\n"},
                      LockedFolderCase{
                          "NoFile", false,
                          "Can't write file: OUT\nError 75: Path/File access error\n"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// --- Devices and FIFOs: written directly -------------------------------------------------------

TEST(FifoTest, FifoWithoutAReaderIsAnErrorNotAWait) {
    TempDir dir;
    const fs::path in = dir / "picture.bmp";
    MakePicture(in, 20, 10, 8);
    const fs::path fifo = dir / "out.ppm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const ProgramRun run = RunProgram({"PPM", in.string(), fifo.string()}, TimeoutSeconds);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output,
              "Can't write file: " + fifo.string() + "\nError 75: Path/File access error\n");
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
}

TEST(FifoTest, AReaderThatLeavesGivesAWriteErrorNotASignal) {
    TempDir dir;
    const fs::path in = dir / "picture.bmp";
    MakePicture(in, 200, 200, 9);  // far more text than the pipe holds
    const fs::path fifo = dir / "out.ppm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ::fcntl(reader, F_SETPIPE_SZ, 4096);

    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    std::string received;
    options.whileRunning = [&](pid_t) {
        // Take the first bytes, then leave.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        char buffer[100];
        while (received.empty() && std::chrono::steady_clock::now() < giveUp) {
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            if (n > 0)
                received.assign(buffer, static_cast<size_t>(n));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::close(reader);
    };
    const ProgramRun run = RunProgram({"PPM", in.string(), fifo.string()}, options);
    EXPECT_EQ(received.substr(0, 3), "P3\n");
    EXPECT_EQ(run.termSignal, 0);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't write file: " + fifo.string() + "\nError 57: Device I/O error\n");
}

TEST(DeviceTest, NullDeviceTakesThePicture) {
    TempDir dir;
    const fs::path in = dir / "picture.bmp";
    MakePicture(in, 20, 10, 10);
    const ProgramRun run = RunProgram({"PPM", in.string(), "/dev/null"}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, "Picture converted: /dev/null\n");
}

// --- Standard output as the output: the picture alone on it, the lines on standard error ----

struct StandardOutputCase {
    const char* name;
    const char* outName;  // the output argument; null: the redirected file's own name
    bool intoFile;        // standard output redirected to a file, else a pipe
    bool loadFails;
};

class StandardOutputTest : public ::testing::TestWithParam<StandardOutputCase> {};

TEST_P(StandardOutputTest, PictureOnStandardOutputLinesOnStandardError) {
    const StandardOutputCase& c = GetParam();
    TempDir dir;
    const fs::path in = dir / "picture.bmp";
    const std::string picture = MakePicture(in, 70, 50, 11);
    const fs::path file = dir / "redirected.ppm";
    const std::string outName = c.outName != nullptr ? c.outName : file.string();
    const std::string inName = c.loadFails ? (dir / "missing.bmp").string() : in.string();

    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    if (c.intoFile)
        options.standardOutputPath = file.string();
    else
        options.separateStandardOutput = true;
    const ProgramRun run = RunProgram({"PPM", inName, outName}, options);
    const std::string carried = c.intoFile ? ReadFileText(file) : run.standardOutput;
    if (c.loadFails) {
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.output, "Can't load picture: " + inName + "\nError 53: File not found\n");
        EXPECT_EQ(carried, "");
    } else {
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.output, "Picture converted: " + outName + "\n");
        EXPECT_EQ(carried, picture);
    }
}

INSTANTIATE_TEST_SUITE_P(
    HoweverItIsNamed, StandardOutputTest,
    ::testing::Values(StandardOutputCase{"DevStdoutIntoAFile", "/dev/stdout", true, false},
                      StandardOutputCase{"DevStdoutIntoAPipe", "/dev/stdout", false, false},
                      StandardOutputCase{"ProcFdIntoAPipe", "/proc/self/fd/1", false, false},
                      StandardOutputCase{"TheRedirectedFilesOwnName", nullptr, true, false},
                      StandardOutputCase{"LoadFailureIntoAPipe", "/dev/stdout", false, true}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// --- Console lines: one line each, whatever the names hold -------------------------------------

struct ShownNameCase {
    const char* name;
    std::string fileName;  // the input name, which does not exist
    std::string shown;     // how the console line shows it
};

class ShownNameTest : public ::testing::TestWithParam<ShownNameCase> {};

TEST_P(ShownNameTest, ControlCharactersInAnEchoedNameShowAsQuestionMarks) {
    const ShownNameCase& c = GetParam();
    TempDir dir;
    const std::string in = (dir / c.fileName).string();
    const ProgramRun run = RunProgram({"PPM", in, (dir / "out.ppm").string()}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output,
              "Can't load picture: " + (dir / c.shown).string() + "\nError 53: File not found\n");
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfCharacter, ShownNameTest,
    ::testing::Values(ShownNameCase{"LineFeedFakingALine", "x\nPicture converted: x.ppm",
                                    "x?Picture converted: x.ppm"},
                      ShownNameCase{"CarriageReturn", "a\rb", "a?b"},
                      ShownNameCase{"EscapeSequence", "\x1b[31mred\x1b[0m", "?[31mred?[0m"},
                      ShownNameCase{"BellAndDelete",
                                    "a\x07"
                                    "b\x7f",
                                    "a?b?"},
                      ShownNameCase{"C1ControlInUtf8",
                                    "a\xC2\x9B"
                                    "b",
                                    "a?b"},
                      ShownNameCase{"ByteThatIsNoUtf8",
                                    "a\x9B"
                                    "b\xFF",
                                    "a?b?"},
                      ShownNameCase{"CutUtf8Sequence", "a\xE5\x9B", "a??"},
                      ShownNameCase{"PrintableUtf8StaysAsItIs",
                                    "caf\xC3\xA9 \xE5\x9B\xBE \xF0\x9F\x96\xBC",
                                    "caf\xC3\xA9 \xE5\x9B\xBE \xF0\x9F\x96\xBC"},
                      ShownNameCase{"NoBreakSpaceIsPrintable",
                                    "a\xC2\xA0"
                                    "b",
                                    "a\xC2\xA0"
                                    "b"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ShownNameTest, ConvertedFileWithALineFeedInItsName) {
    TempDir dir;
    const fs::path in = dir / "picture.bmp";
    const std::string picture = MakePicture(in, 20, 10, 12);
    const fs::path out = dir / "two\nlines.ppm";
    const ProgramRun run = RunProgram({"PPM", in.string(), out.string()}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.output, "Picture converted: " + (dir / "two?lines.ppm").string() + "\n");
    EXPECT_EQ(ReadFileText(out), picture);
}

}  // namespace
}  // namespace pic2pnm::testing

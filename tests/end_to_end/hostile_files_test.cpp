// The program against hostile input: every file of tests/hostile (pictures cut short, with
// changed header fields, declaring huge sizes), inputs that are not regular files, unusual
// names, awkward output paths, and a declared size just above the limit. Each run must end
// within seconds with the designed console lines; each hostile file with the verdict its
// manifest gives it (tests/hostile/MANIFEST.tsv says where they are), a clean refusal or a
// well-formed picture, and a refused file with the decoders' reason its manifest gives it.
#include <fcntl.h>
#include <limits.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <stddef.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/common/codec_reasons.h"
#include "helpers/console_lines.h"
#include "helpers/run_program.h"
#include "helpers/sanitizer_build.h"
#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

constexpr int TimeoutSeconds = 5;
// Refusing a file that is not a picture takes a few milliseconds; this leaves room for a slow,
// sanitized build on a busy machine while still catching a reader that runs until a timeout.
constexpr double QuickSeconds = 3.0;

fs::path HostileFolder() {
    return fs::path(PIC2PNM_TEST_DATA) / ".." / "hostile";
}

fs::path SamplePicture() {
    return TestData("bmp/im_bmp3_24bpp.bmp");
}

// Reads a decimal number of at most `maxDigits` digits at `at`; false when there is none.
bool ReadNumber(const std::string& text, size_t& at, int64_t& value, size_t maxDigits = 10) {
    const size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < maxDigits)
        value = value * 10 + (text[at++] - '0');
    return at > start && (at - start == 1 || text[start] != '0');
}

// Empty when the text is a plain PPM: "P3", an optional comment line, "W H", "255", then
// exactly W * H * 3 values from 0 to 255 separated by spaces and line feeds.
std::string PlainPpmProblem(const std::string& text) {
    if (text.rfind("P3\n", 0) != 0) return "does not start with P3";
    size_t at = 3;
    if (at < text.size() && text[at] == '#') {
        at = text.find('\n', at);
        if (at == std::string::npos) return "comment line without its end";
        ++at;
    }
    int64_t width = 0;
    int64_t height = 0;
    int64_t maxValue = 0;
    if (!ReadNumber(text, at, width) || width < 1 || at >= text.size() || text[at++] != ' ' ||
        !ReadNumber(text, at, height) || height < 1 || at >= text.size() || text[at++] != '\n')
        return "no size line";
    if (!ReadNumber(text, at, maxValue) || maxValue != 255 || at >= text.size() ||
        text[at++] != '\n')
        return "no 255 line";
    const int64_t expected = width * height * 3;
    int64_t count = 0;
    while (at < text.size()) {
        int64_t value = 0;
        if (!ReadNumber(text, at, value, 3) || value > 255)
            return "bad value after " + std::to_string(count) + " values";
        if (at >= text.size() || (text[at] != ' ' && text[at] != '\n'))
            return "value " + std::to_string(count) + " not followed by a space";
        while (at < text.size() && (text[at] == ' ' || text[at] == '\n')) ++at;
        if (++count > expected) break;
    }
    if (count != expected) {
        return std::to_string(count) + " values for " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    return "";
}

// The program converted `in` to `out`: its one console line, and a well-formed picture.
// `shownOut` is the output path as the console line shows it, when that differs.
void ExpectConverted(const ProgramRun& run, const fs::path& out, const std::string& shownOut = "") {
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output,
              "Picture converted: " + (shownOut.empty() ? out.string() : shownOut) + "\n");
    ASSERT_TRUE(fs::is_regular_file(out));
    EXPECT_EQ(PlainPpmProblem(ReadFileText(out)), "");
}

// The program refused to load `in`: "Can't load picture: IN" and an error line, status 1, no
// output file.
void ExpectLoadRefused(const ProgramRun& run, const std::string& in, const fs::path& out) {
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    const std::vector<std::string> lines = SplitLines(run.output);
    ASSERT_EQ(lines.size(), 2u) << run.output;
    EXPECT_EQ(lines[0], "Can't load picture: " + in);
    EXPECT_TRUE(IsErrorLine(lines[1])) << lines[1];
    EXPECT_FALSE(fs::exists(out));
}

// What converting the sample picture gives, as the reference for runs that must give the same.
std::string SampleConversion() {
    TempDir dir;
    const fs::path out = dir / "sample.ppm";
    const ProgramRun run = RunProgram({"PPM", SamplePicture().string(), out.string()});
    if (run.exitStatus != 0) return "sample picture not converted: " + run.output;
    return ReadFileText(out);
}

// --- Every hostile file -------------------------------------------------------------------

// One row of tests/hostile/MANIFEST.tsv: a file and the verdict it is held to.
struct HostileFile {
    std::string name;
    std::string verdict;  // "converts", "not supported", "load: Error N" or "bitmap: Error N"
    std::string reason;   // why the decoders refuse it, from codec_reasons.h; "-" for none
};

void PrintTo(const HostileFile& file, std::ostream* out) {
    *out << file.name;
}

// The rows of every manifest: tests/hostile/MANIFEST.tsv and, for the files named after a
// format, tests/codecs/FORMAT/FORMAT_hostile.tsv. Columns are found by their names, so that
// more can follow.
std::vector<HostileFile> HostileFiles() {
    std::vector<fs::path> manifests = {HostileFolder() / "MANIFEST.tsv"};
    for (const auto& folder : fs::directory_iterator(fs::path(PIC2PNM_TESTS_FOLDER) / "codecs"))
        manifests.push_back(folder.path() / (folder.path().filename().string() + "_hostile.tsv"));
    std::vector<HostileFile> files;
    for (const fs::path& manifest : manifests)
        for (auto& row : ReadManifestRows(manifest))
            files.push_back({row["file"], row["verdict"], row["reason"]});
    std::sort(files.begin(), files.end(),
              [](const HostileFile& a, const HostileFile& b) { return a.name < b.name; });
    return files;
}

// What the console lines of a run say of the file, in the manifest's words; empty when they
// are not among the designed ones.
std::string VerdictOf(const ProgramRun& run, const std::string& in, const fs::path& out) {
    const std::vector<std::string> lines = SplitLines(run.output);
    if (run.exitStatus == 0 && lines.size() == 1 &&
        lines[0] == "Picture converted: " + out.string())
        return "converts";
    if (run.exitStatus != 1 || lines.empty()) return "";
    if (lines.size() == 1 && lines[0] == "Picture not supported: " + in) return "not supported";
    for (const auto& [first, word] : {std::pair{"Can't load picture: ", "load"},
                                      std::pair{"Can't get bitmap data: ", "bitmap"}}) {
        if (lines.size() == 2 && lines[0] == first + in && IsErrorLine(lines[1]))
            return word + (": " + lines[1].substr(0, lines[1].find(':')));
    }
    return "";
}

class HostileFileTest : public ::testing::TestWithParam<HostileFile> {};

TEST(HostileFolderTest, EveryFileIsInTheManifestWithAVerdict) {
    std::vector<std::string> listed;
    for (const HostileFile& file : HostileFiles()) {
        listed.push_back(file.name);
        EXPECT_TRUE(fs::is_regular_file(HostileFolder() / file.name)) << file.name;
        EXPECT_TRUE(file.verdict == "converts" || file.verdict == "not supported" ||
                    file.verdict.rfind("load: Error ", 0) == 0 ||
                    file.verdict.rfind("bitmap: Error ", 0) == 0)
            << file.name << ": verdict \"" << file.verdict << "\"";
        const bool known = codecs::FindCodecReason(file.reason) != nullptr;
        EXPECT_TRUE(file.reason == "-" || (known && file.verdict != "converts"))
            << file.name << ": reason \"" << file.reason << "\" with verdict " << file.verdict;
    }
    std::vector<std::string> present;
    for (const fs::directory_entry& entry : fs::directory_iterator(HostileFolder()))
        if (entry.path().filename() != "MANIFEST.tsv")
            present.push_back(entry.path().filename().string());
    std::sort(listed.begin(), listed.end());
    std::sort(present.begin(), present.end());
    EXPECT_EQ(listed, present);
    EXPECT_GT(listed.size(), 500u);  // an empty manifest would pass every file below
}

TEST_P(HostileFileTest, GivesItsVerdict) {
    const std::string in = (HostileFolder() / GetParam().name).lexically_normal().string();
    TempDir dir;
    const fs::path out = dir / "out.ppm";
    const ProgramRun run = RunProgram({"PPM", in, out.string()}, TimeoutSeconds);
    ASSERT_FALSE(run.timedOut) << "still running after " << TimeoutSeconds << " s";
    EXPECT_EQ(VerdictOf(run, in, out), GetParam().verdict) << run.output;
    if (run.exitStatus == 0) {
        EXPECT_EQ(PlainPpmProblem(ReadFileText(out)), "");
    } else {
        EXPECT_FALSE(fs::exists(out));
    }
    if (GetParam().reason == "-") return;
    // The decoders' own road, with the program's sandbox, in a tool of their own.
    RunOptions options;
    options.program = PIC2PNM_DECODE_REASON;
    options.timeoutSeconds = TimeoutSeconds;
    options.separateStandardOutput = true;
    const ProgramRun decode = RunProgram({in}, options);
    const codecs::CodecStatus status = codecs::StatusOfCodecReason(GetParam().reason.c_str());
    EXPECT_EQ(decode.standardOutput,
              std::string(codecs::CodecStatusName(status)) + "\t" + GetParam().reason + "\n")
        << decode.output;
}

INSTANTIATE_TEST_SUITE_P(EveryFile, HostileFileTest, ::testing::ValuesIn(HostileFiles()),
                         [](const auto& testCase) { return TestNameOf(testCase.param.name); });

// --- Inputs that are not regular files ------------------------------------------------------

// Keeps a FIFO supplied: every time a reader opens it, it gets the bytes and then the end.
class FifoFeeder {
  public:
    FifoFeeder(fs::path path, std::vector<uint8_t> bytes)
        : path_(std::move(path)), bytes_(std::move(bytes)) {
        signal(SIGPIPE, SIG_IGN);  // a reader that closes early must not end the test
        if (mkfifo(path_.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
        thread_ = std::thread([this] {
            tid_ = static_cast<pid_t>(syscall(SYS_gettid));
            Feed();
        });
        WaitUntilWriterWaits();
    }
    ~FifoFeeder() {
        stop_ = true;
        // A writer waiting for a reader is released by this reader and sees the stop.
        const int release = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        thread_.join();
        if (release >= 0) close(release);
    }
    FifoFeeder(const FifoFeeder&) = delete;
    FifoFeeder& operator=(const FifoFeeder&) = delete;

  private:
    // A reader that opens the FIFO before the writer has called open() finds no writer and
    // reads it as empty; so the program starts only once the writer waits for its reader
    // (counted as a writer by then). Bounded, so that an odd kernel only brings the race back.
    void WaitUntilWriterWaits() {
        for (int tries = 0; tries < 5000; ++tries) {
            const pid_t tid = tid_;
            if (tid != 0) {
                std::ifstream wchan("/proc/self/task/" + std::to_string(tid) + "/wchan");
                std::string where;
                if (std::getline(wchan, where) && where == "wait_for_partner") return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void Feed() {
        while (!stop_) {
            const int fd = open(path_.c_str(), O_WRONLY);
            if (fd < 0) {
                if (errno == EINTR) continue;
                return;
            }
            for (size_t done = 0; !stop_ && done < bytes_.size();) {
                const ssize_t n = write(fd, bytes_.data() + done, bytes_.size() - done);
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            close(fd);
        }
    }

    fs::path path_;
    std::vector<uint8_t> bytes_;
    std::atomic<bool> stop_{false};
    std::atomic<pid_t> tid_{0};
    std::thread thread_;
};

TEST(NonRegularInputTest, DirectoryIsRefused) {
    TempDir dir;
    const fs::path folder = dir / "folder.bmp";
    fs::create_directory(folder);
    ExpectLoadRefused(
        RunProgram({"PPM", folder.string(), (dir / "out.ppm").string()}, TimeoutSeconds),
        folder.string(), dir / "out.ppm");
}

TEST(NonRegularInputTest, FifoCarryingABmpConvertsLikeTheFile) {
    TempDir dir;
    const fs::path fifo = dir / "picture.bmp";
    FifoFeeder feeder(fifo, ReadFileBytes(SamplePicture()));
    const fs::path out = dir / "out.ppm";
    ExpectConverted(RunProgram({"PPM", fifo.string(), out.string()}, TimeoutSeconds), out);
    if (fs::exists(out)) {
        EXPECT_EQ(ReadFileText(out), SampleConversion());
    }
}

TEST(NonRegularInputTest, FifoCarryingGarbageIsRefused) {
    TempDir dir;
    const fs::path fifo = dir / "garbage.bmp";
    std::vector<uint8_t> garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 7 + 3);
    FifoFeeder feeder(fifo, garbage);
    const fs::path out = dir / "out.ppm";
    ExpectLoadRefused(RunProgram({"PPM", fifo.string(), out.string()}, TimeoutSeconds),
                      fifo.string(), out);
}

TEST(NonRegularInputTest, EndlessDevicesAreRefusedQuickly) {
    for (const std::string device : {"/dev/zero", "/dev/urandom"}) {
        SCOPED_TRACE(device);
        TempDir dir;
        const fs::path out = dir / "out.ppm";
        const ProgramRun run = RunProgram({"PPM", device, out.string()}, TimeoutSeconds);
        ExpectLoadRefused(run, device, out);
        EXPECT_LT(run.seconds, QuickSeconds);
    }
}

TEST(NonRegularInputTest, DanglingSymlinkIsAMissingFile) {
    TempDir dir;
    const fs::path link = dir / "link.bmp";
    fs::create_symlink(dir / "nothing-here.bmp", link);
    const fs::path out = dir / "out.ppm";
    const ProgramRun run = RunProgram({"PPM", link.string(), out.string()}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't load picture: " + link.string() + "\nError 53: File not found\n");
    EXPECT_FALSE(fs::exists(out));
}

TEST(NonRegularInputTest, FileWithoutReadPermissionIsRefused) {
    if (geteuid() == 0) GTEST_SKIP() << "running as root, which may read any file";
    TempDir dir;
    const fs::path in = dir / "locked.bmp";
    fs::copy_file(SamplePicture(), in);
    fs::permissions(in, fs::perms::none);
    const fs::path out = dir / "out.ppm";
    ExpectLoadRefused(RunProgram({"PPM", in.string(), out.string()}, TimeoutSeconds), in.string(),
                      out);
}

TEST(NonRegularInputTest, PathLongerThanPathMaxIsRefused) {
    std::string in;
    while (in.size() <= PATH_MAX) in += "folder/";
    in += "picture.bmp";
    TempDir dir;
    const fs::path out = dir / "out.ppm";
    ExpectLoadRefused(RunProgram({"PPM", in, out.string()}, TimeoutSeconds), in, out);
}

TEST(UnusualNameTest, NamesWithSpacesQuotesDashesAndNonAsciiConvert) {
    const std::string expected = SampleConversion();
    struct Name {
        std::string name;
        std::string shown;  // in the console line; a control character shows as '?'
    };
    for (const Name& n : std::vector<Name>{{"with space", ""},
                                           {"single'quote", ""},
                                           {"double\"quote", ""},
                                           {"-leading-dash", ""},
                                           {"--", ""},
                                           {"caf\xC3\xA9", ""},
                                           {"\xE5\x9B\xBE\xE7\x89\x87", ""},
                                           {"tab\there", "tab?here"},
                                           {"star*and?mark", ""}}) {
        SCOPED_TRACE(n.name);
        TempDir dir;
        const fs::path in = dir / (n.name + ".bmp");
        const fs::path out = dir / (n.name + ".ppm");
        fs::copy_file(SamplePicture(), in);
        ExpectConverted(RunProgram({"PPM", in.string(), out.string()}, TimeoutSeconds), out,
                        n.shown.empty() ? "" : (dir / (n.shown + ".ppm")).string());
        if (fs::exists(out)) {
            EXPECT_EQ(ReadFileText(out), expected);
        }
    }
}

// --- Output paths ---------------------------------------------------------------------------

void ExpectWriteFailure(const std::string& out, const std::string& errorLine) {
    const ProgramRun run = RunProgram({"PPM", SamplePicture().string(), out}, TimeoutSeconds);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, "Can't write file: " + out + "\n" + errorLine + "\n");
}

TEST(OutputPathTest, MissingDirectoryIsAPathNotFound) {
    TempDir dir;
    const fs::path out = dir / "missing" / "out.ppm";
    ExpectWriteFailure(out.string(), "Error 76: Path not found");
    EXPECT_FALSE(fs::exists(out));
}

TEST(OutputPathTest, DirectoryIsAnAccessError) {
    TempDir dir;
    const fs::path out = dir / "folder.ppm";
    fs::create_directory(out);
    ExpectWriteFailure(out.string(), "Error 75: Path/File access error");
    EXPECT_TRUE(fs::is_directory(out));
}

TEST(OutputPathTest, ReadOnlyFileIsAnAccessErrorAndKeepsItsContents) {
    if (geteuid() == 0) GTEST_SKIP() << "running as root, which may write any file";
    TempDir dir;
    const fs::path out = dir / "read-only.ppm";
    WriteFileText(out, "keep me");
    fs::permissions(out, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ExpectWriteFailure(out.string(), "Error 75: Path/File access error");
    EXPECT_EQ(ReadFileText(out), "keep me");
}

TEST(OutputPathTest, FullDeviceIsADiskFull) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    ExpectWriteFailure("/dev/full", "Error 61: Disk full");
}

TEST(OutputPathTest, SamePathAsTheInputIsReplacedByThePicture) {
    TempDir dir;
    const fs::path path = dir / "both.bmp";
    fs::copy_file(SamplePicture(), path);
    ExpectConverted(RunProgram({"PPM", path.string(), path.string()}, TimeoutSeconds), path);
    EXPECT_EQ(ReadFileText(path), SampleConversion());
}

TEST(OutputPathTest, SymlinkIsFollowedToItsFile) {
    TempDir dir;
    const fs::path target = dir / "target.ppm";
    const fs::path link = dir / "link.ppm";
    WriteFileText(target, "old contents");
    fs::create_symlink(target, link);
    const ProgramRun run =
        RunProgram({"PPM", SamplePicture().string(), link.string()}, TimeoutSeconds);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output, "Picture converted: " + link.string() + "\n");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileText(target), SampleConversion());
}

// --- Declared sizes above the limit ---------------------------------------------------------

constexpr uint32_t LargestBlockBytes = 512u << 20;

// A system-call filter that kills the process with SIGSYS when it maps a block of memory larger
// than LargestBlockBytes (mmap, or mremap growing a block). Every large allocation ends in one
// of those calls, whether it comes from the C library, the sanitizer's allocator or the
// program's own page-backed blocks. The address-space reservations an AddressSanitizer build
// makes at start-up ask for no memory (MAP_NORESERVE) and pass.
bool InstallLargeMappingGuard() {
#if defined(__x86_64__)
    constexpr uint32_t arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
    constexpr uint32_t arch = AUDIT_ARCH_AARCH64;
#else
    return false;
#endif
    constexpr uint32_t archAt = offsetof(seccomp_data, arch);
    constexpr uint32_t nrAt = offsetof(seccomp_data, nr);
    // 64-bit arguments as two 32-bit words, the low one first on these little-endian machines.
    constexpr auto low = [](int argument) {
        return static_cast<uint32_t>(offsetof(seccomp_data, args) + 8 * argument);
    };
    constexpr auto high = [](int argument) {
        return static_cast<uint32_t>(offsetof(seccomp_data, args) + 8 * argument + 4);
    };
    // Jump offsets count from the next instruction; ALLOW is instruction 15, KILL 16.
    sock_filter filter[] = {
        /* 0 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, archAt),
        /* 1 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, arch, 0, 13),
        /* 2 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, nrAt),
        /* 3 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_mmap, 0, 6),
        /* 4 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, low(3)),  // flags
        /* 5 */ BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, MAP_NORESERVE, 9, 0),
        /* 6 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, high(1)),  // length
        /* 7 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 8),
        /* 8 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, low(1)),
        /* 9 */ BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, LargestBlockBytes, 6, 5),
        /* 10 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_mremap, 0, 4),
        /* 11 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, high(2)),  // new size
        /* 12 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 3),
        /* 13 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, low(2)),
        /* 14 */ BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, LargestBlockBytes, 1, 0),
        /* 15 */ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        /* 16 */ BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

struct GuardedRun {
    bool guardMissing = false;  // the system refused the filter
    bool killedByGuard = false;
    ProgramRun run;
};

// Runs the program under the large-mapping guard. A build without AddressSanitizer also gets
// its address space capped (an AddressSanitizer build reserves far more than any cap allows).
GuardedRun RunWithLargeMappingGuard(const std::vector<std::string>& arguments) {
    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
#ifndef PIC2PNM_PROGRAM_HAS_ASAN
    options.addressSpaceLimitBytes = LargestBlockBytes;
#endif
    options.childSetup = InstallLargeMappingGuard;
    // The decoders' own size checks are what is watched: they run in the program's process,
    // where the guard ends the program itself, rather than in a decode child it would end.
    options.environment = {{"PIC2PNM_SANDBOX", "0"}};
    GuardedRun guarded;
    guarded.run = RunProgram(arguments, options);
    guarded.guardMissing = guarded.run.exitStatus == ChildSetupFailed;
    guarded.killedByGuard = guarded.run.termSignal == SIGSYS;
    return guarded;
}

void PutLittleEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + static_cast<size_t>(i)] = (value >> (8 * i)) & 0xFF;
}

// A 24-bit BMP of 66 bytes whose header declares width x height.
std::vector<uint8_t> TinyBmpDeclaring(uint32_t width, uint32_t height) {
    std::vector<uint8_t> bmp(66, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLittleEndian(bmp, 2, 66, 4);   // file size
    PutLittleEndian(bmp, 10, 54, 4);  // offset of the pixels
    PutLittleEndian(bmp, 14, 40, 4);  // info header size
    PutLittleEndian(bmp, 18, width, 4);
    PutLittleEndian(bmp, 22, height, 4);
    PutLittleEndian(bmp, 26, 1, 2);   // planes
    PutLittleEndian(bmp, 28, 24, 2);  // bits per pixel
    for (size_t i = 54; i < bmp.size(); ++i) bmp[i] = static_cast<uint8_t>(i);
    return bmp;
}

// The refusal of a size above the limit, quick and without asking for a large block.
void ExpectRefusedWithoutAllocating(const std::string& in) {
    TempDir dir;
    const fs::path out = dir / "out.ppm";
    const GuardedRun guarded = RunWithLargeMappingGuard({"PPM", in, out.string()});
    if (guarded.guardMissing) GTEST_SKIP() << "this system does not allow system-call filters";
    const ProgramRun& run = guarded.run;
    ASSERT_FALSE(guarded.killedByGuard) << "the program asked for a block above 512 MiB";
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    const std::vector<std::string> lines = SplitLines(run.output);
    ASSERT_EQ(lines.size(), 2u) << run.output;
    EXPECT_EQ(lines[0], "Can't load picture: " + in);
    EXPECT_TRUE(IsErrorLine(lines[1])) << lines[1];
    EXPECT_LT(run.seconds, QuickSeconds);
    EXPECT_FALSE(fs::exists(out));
}

// An 8-bit RLE BMP of 12000 x 12000 pixels whose data ends at once (the rest is background):
// a valid picture of 576 MB once decoded, from a file of about a kilobyte.
std::vector<uint8_t> RleBmpNeedingMuchMemory() {
    constexpr uint32_t side = 12000;
    std::vector<uint8_t> bmp(14 + 40 + 2 * 4 + 2, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLittleEndian(bmp, 2, static_cast<uint32_t>(bmp.size()), 4);
    PutLittleEndian(bmp, 10, 14 + 40 + 2 * 4, 4);
    PutLittleEndian(bmp, 14, 40, 4);
    PutLittleEndian(bmp, 18, side, 4);
    PutLittleEndian(bmp, 22, side, 4);
    PutLittleEndian(bmp, 26, 1, 2);
    PutLittleEndian(bmp, 28, 8, 2);
    PutLittleEndian(bmp, 30, 1, 4);  // RLE8
    PutLittleEndian(bmp, 34, 2, 4);  // bytes of pixel data
    PutLittleEndian(bmp, 46, 2, 4);  // colours used
    PutLittleEndian(bmp, 58, 0xFFFFFF, 4);
    bmp[bmp.size() - 1] = 1;  // 00 01: end of the picture
    return bmp;
}

TEST(SizeLimitTest, GuardStopsAPictureThatNeedsALargeBlock) {
    // Shows that the guard the refusals below rely on does catch a large allocation.
    TempDir dir;
    const fs::path in = dir / "needs-576-mb.bmp";
    WriteFileBytes(in, RleBmpNeedingMuchMemory());
    const GuardedRun guarded =
        RunWithLargeMappingGuard({"PPM", in.string(), (dir / "out.ppm").string()});
    if (guarded.guardMissing) GTEST_SKIP() << "this system does not allow system-call filters";
    // The filter sees the call before the address-space cap does.
    EXPECT_TRUE(guarded.killedByGuard) << guarded.run.output;
}

TEST(SizeLimitTest, BmpJustAboveTheLimitIsRefusedWithoutAllocating) {
    // 4 * 16385 * 32768 is just above 2^31 - 1.
    TempDir dir;
    const fs::path in = dir / "just-above.bmp";
    WriteFileBytes(in, TinyBmpDeclaring(16385, 32768));
    ExpectRefusedWithoutAllocating(in.string());
}

TEST(SizeLimitTest, EveryHostileFileDeclaringAHugeSizeIsRefusedWithoutAllocating) {
    int checked = 0;
    for (const HostileFile& file : HostileFiles()) {
        const std::string& name = file.name;
        if (name.find("-declares-") == std::string::npos) continue;
        SCOPED_TRACE(name);
        ExpectRefusedWithoutAllocating((HostileFolder() / name).lexically_normal().string());
        ++checked;
    }
    EXPECT_GT(checked, 8);
}

}  // namespace
}  // namespace pic2pnm::testing

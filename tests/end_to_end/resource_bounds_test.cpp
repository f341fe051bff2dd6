// The program against files that ask for far more memory or time than their picture is worth
// (tests/resource, made by tools/make-resource-corpus.py), and against inputs too large to
// keep in the repository, made here: a small BMP followed by gigabytes of nothing, an endless
// pipe. Each run gets an address space of 9 bytes a pixel of its picture plus 64 MiB and a few
// seconds; it must end with a conversion or the designed failure lines, never a signal, a
// timeout or an out-of-memory kill.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/sanitizer_build.h"
#include "support/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kTimeoutSeconds = 10;
constexpr uint64_t kBytesPerPixel = 9;
constexpr uint64_t kAllowanceBytes = uint64_t{64} << 20;
#ifdef PIC2PNM_PROGRAM_HAS_ASAN
constexpr bool kProgramHasAsan = true;
#else
constexpr bool kProgramHasAsan = false;
#endif

struct ResourceCase {
    std::string file;
    uint64_t width = 0;
    uint64_t height = 0;
    bool mustConvert = false;  // else a conversion or a designed refusal
    std::string what;
};

fs::path ResourceFolder() {
    return fs::path(PIC2PNM_TEST_DATA) / ".." / "resource";
}

std::vector<ResourceCase> ManifestCases() {
    std::vector<ResourceCase> cases;
    std::ifstream manifest(ResourceFolder() / "MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line);  // the column names
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        ResourceCase c;
        std::string width, height, expect;
        std::getline(fields, c.file, '\t');
        std::getline(fields, width, '\t');
        std::getline(fields, height, '\t');
        std::getline(fields, expect, '\t');
        std::getline(fields, c.what);
        c.width = std::stoull(width);
        c.height = std::stoull(height);
        c.mustConvert = expect == "converts";
        cases.push_back(c);
    }
    return cases;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

bool IsErrorLine(const std::string& line) {
    static const std::regex pattern("Error ([0-9]+|0x[0-9A-F]{8}): .+");
    return std::regex_match(line, pattern);
}

// Runs the program on `in` within the budget of a width x height picture, output discarded.
ProgramRun RunWithinBudget(const std::string& in, uint64_t width, uint64_t height) {
    RunOptions options;
    options.timeoutSeconds = kTimeoutSeconds;
    // An AddressSanitizer build reserves far more address space than any budget.
    if (!kProgramHasAsan)
        options.addressSpaceLimitBytes = width * height * kBytesPerPixel + kAllowanceBytes;
    return RunProgram({"PGM", in, "/dev/null"}, options);
}

void ExpectEndedAsDesigned(const ProgramRun& run, const std::string& in, bool mustConvert) {
    ASSERT_FALSE(run.timedOut) << "still running after " << kTimeoutSeconds << " s";
    ASSERT_EQ(run.termSignal, 0) << "ended by signal " << run.termSignal << "\n" << run.output;
    const std::vector<std::string> lines = SplitLines(run.output);
    if (run.exitStatus == 0 || mustConvert) {
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        EXPECT_EQ(lines, std::vector<std::string>{"Picture converted: /dev/null"});
        return;
    }
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    ASSERT_EQ(lines.size(), 2u) << run.output;
    EXPECT_EQ(lines[0], "Can't load picture: " + in);
    EXPECT_TRUE(IsErrorLine(lines[1])) << lines[1];
}

class ResourceFileTest : public ::testing::TestWithParam<ResourceCase> {};

TEST(ResourceFolderTest, HoldsTheGeneratedFiles) {
    const std::vector<ResourceCase> cases = ManifestCases();
    EXPECT_GE(cases.size(), 20u);
    for (const ResourceCase& c : cases)
        EXPECT_TRUE(fs::exists(ResourceFolder() / c.file)) << c.file;
}

TEST_P(ResourceFileTest, StaysWithinThePicturesBudget) {
    const ResourceCase& c = GetParam();
    const std::string in = (ResourceFolder() / c.file).string();
    SCOPED_TRACE(c.what);
    ExpectEndedAsDesigned(RunWithinBudget(in, c.width, c.height), in, c.mustConvert);
}

INSTANTIATE_TEST_SUITE_P(EveryFile, ResourceFileTest, ::testing::ValuesIn(ManifestCases()),
                         [](const auto& testCase) {
                             std::string name = testCase.param.file;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

// A 24-bit BMP of 1x1 pixels whose file goes on with `tail` bytes of zeros (a sparse file: it
// takes no room on disk).
fs::path WriteBmpWithTail(const TempDir& dir, uint64_t tail) {
    std::vector<uint8_t> bmp(58, 0);
    const auto put = [&bmp](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, 58);   // file size
    put(10, 54);  // offset of the pixels
    put(14, 40);  // info header size
    put(18, 1);   // width
    put(22, 1);   // height
    bmp[26] = 1;  // planes
    bmp[28] = 24;
    bmp[54] = 0x10;  // blue
    bmp[55] = 0x20;  // green
    bmp[56] = 0x30;  // red
    const fs::path path = dir / "tail.bmp";
    WriteFileBytes(path, bmp);
    fs::resize_file(path, bmp.size() + tail);
    return path;
}

TEST(ResourceInputTest, BmpFollowedByGigabytesConvertsWithinItsBudget) {
    TempDir dir;
    const fs::path in = WriteBmpWithTail(dir, uint64_t{3} << 30);
    ExpectEndedAsDesigned(RunWithinBudget(in.string(), 1, 1), in.string(), /*mustConvert=*/true);
}

// Writes zeros into a FIFO until its reader goes.
class EndlessFeeder {
  public:
    explicit EndlessFeeder(fs::path path)
        : thread_([path] {
              const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
              if (fd < 0) return;
              const std::vector<char> zeros(1 << 16, 0);
              while (::write(fd, zeros.data(), zeros.size()) > 0) {
              }
              ::close(fd);
          }) {}
    ~EndlessFeeder() { thread_.join(); }
    EndlessFeeder(const EndlessFeeder&) = delete;
    EndlessFeeder& operator=(const EndlessFeeder&) = delete;

  private:
    std::thread thread_;
};

TEST(ResourceInputTest, EndlessPipeIsRefusedWithinTheBudget) {
    // Without the address-space limit a sanitized program reads the pipe up to the 3 GiB cap,
    // which it cannot do inside the time limit; the optimised suite runs this case.
    if (kProgramHasAsan) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    ::signal(SIGPIPE, SIG_IGN);  // the feeder's write fails instead once the program has gone
    TempDir dir;
    const fs::path fifo = dir / "endless";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A read end held open lets the feeder in before the program opens the FIFO; closing it
    // afterwards ends the feeder's writes.
    const int holder = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ProgramRun run;
    {
        EndlessFeeder feeder(fifo);
        run = RunWithinBudget(fifo.string(), 1, 1);
        ::close(holder);
    }
    ExpectEndedAsDesigned(run, fifo.string(), /*mustConvert=*/false);
    EXPECT_NE(run.exitStatus, 0);
}

}  // namespace
}  // namespace pic2pnm::testing

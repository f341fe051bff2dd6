// The program against files that ask for far more memory or time than their picture is worth
// (tests/resource, made by tools/make-resource-corpus.py), and against inputs too large to
// keep in the repository, made here: small pictures followed by gigabytes of nothing, an
// endless pipe. Each run gets an address space of 9 bytes a pixel of its picture plus 64 MiB
// and a few seconds; it must end as its verdict says (a conversion, the designed failure
// lines, or either), never with a signal, a timeout or an out-of-memory kill. A file that
// converts is converted twice, and both runs must write the same bytes.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "helpers/console_lines.h"
#include "helpers/run_program.h"
#include "helpers/sanitizer_build.h"
#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

constexpr int TimeoutSeconds = 10;
constexpr uint64_t BudgetBytesPerPixel = 9;
constexpr uint64_t AllowanceBytes = uint64_t{64} << 20;
constexpr uint64_t TailBytes = uint64_t{2900} << 20;
// Below this the program's own libraries do not load.
constexpr uint64_t LeastAddressSpace = uint64_t{24} << 20;
#ifdef PIC2PNM_PROGRAM_HAS_ASAN
constexpr bool ProgramHasAsan = true;
#else
constexpr bool ProgramHasAsan = false;
#endif

enum class Verdict { Converts, Refused, Either, Unknown };

Verdict VerdictNamed(const std::string& word) {
    if (word == "converts") return Verdict::Converts;
    if (word == "refused") return Verdict::Refused;
    if (word == "either") return Verdict::Either;
    return Verdict::Unknown;
}

struct ResourceCase {
    std::string file;
    uint64_t width = 0;
    uint64_t height = 0;
    Verdict expect = Verdict::Unknown;
    std::string what;
};

fs::path ResourceFolder() {
    return fs::path(PIC2PNM_TEST_DATA) / ".." / "resource";
}

// The manifest's rows: file, width, height, expect (converts, refused or either), what.
std::vector<ResourceCase> ManifestCases() {
    std::vector<ResourceCase> cases;
    for (auto& row : ReadManifestRows(ResourceFolder() / "MANIFEST.tsv")) {
        cases.push_back({row["file"], std::stoull(row["width"]), std::stoull(row["height"]),
                         VerdictNamed(row["expect"]), row["what"]});
    }
    return cases;
}

uint64_t BudgetBytes(uint64_t width, uint64_t height) {
    return width * height * BudgetBytesPerPixel + AllowanceBytes;
}

// Runs the program on `in` within the budget of a width x height picture and `fileBytes` more
// address space (an input mapped whole), writing `out`.
ProgramRun RunWithinBudget(const std::string& in, const std::string& out, uint64_t width,
                           uint64_t height, uint64_t fileBytes = 0) {
    RunOptions options;
    options.timeoutSeconds = TimeoutSeconds;
    // An AddressSanitizer build reserves far more address space than any budget.
    if (!ProgramHasAsan) options.addressSpaceLimitBytes = BudgetBytes(width, height) + fileBytes;
    return RunProgram({"PGM", in, out}, options);
}

// Checks that the run ended as `expect` says; true when it converted. A refusal is the load's
// failure lines, or, when memory runs short (`anyStep`), those of any step of the conversion.
bool ExpectEndedAs(const ProgramRun& run, const std::string& in, const std::string& out,
                   Verdict expect, bool anyStep = false) {
    EXPECT_NE(expect, Verdict::Unknown) << "no verdict: converts, refused or either";
    EXPECT_FALSE(run.timedOut) << "still running after " << TimeoutSeconds << " s";
    EXPECT_EQ(run.termSignal, 0) << "ended by signal " << run.termSignal << "\n" << run.output;
    if (run.timedOut || run.termSignal != 0) return false;
    const std::vector<std::string> lines = SplitLines(run.output);
    const bool converts =
        expect == Verdict::Converts || (expect == Verdict::Either && run.exitStatus == 0);
    if (converts) {
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        EXPECT_EQ(lines, std::vector<std::string>{"Picture converted: " + out});
        return run.exitStatus == 0;
    }
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    EXPECT_FALSE(fs::exists(out)) << "an output file after a refusal";
    EXPECT_EQ(lines.size(), 2u) << run.output;
    if (lines.size() == 2) {
        const std::vector<std::string> designed = {"Can't load picture: " + in,
                                                   "Can't get bitmap data: " + in,
                                                   "Can't write file: " + out};
        EXPECT_TRUE(
            lines[0] == designed[0] ||
            (anyStep && std::find(designed.begin(), designed.end(), lines[0]) != designed.end()))
            << lines[0];
        EXPECT_TRUE(IsErrorLine(lines[1])) << lines[1];
    }
    return false;
}

// Runs `in` as `expect` says, and once more when it converted: the second picture must be the
// first, byte for byte. The first run's peak memory, for checks of its own.
uint64_t ExpectSameEveryRun(const std::string& in, uint64_t width, uint64_t height, Verdict expect,
                            uint64_t fileBytes = 0) {
    TempDir dir;
    const std::string first = (dir / "first.pgm").string();
    const ProgramRun run = RunWithinBudget(in, first, width, height, fileBytes);
    if (!ExpectEndedAs(run, in, first, expect)) return run.peakResidentBytes;
    const std::string second = (dir / "second.pgm").string();
    if (ExpectEndedAs(RunWithinBudget(in, second, width, height, fileBytes), in, second,
                      Verdict::Converts)) {
        EXPECT_TRUE(ReadFileBytes(first) == ReadFileBytes(second)) << "a second run differs";
    }
    return run.peakResidentBytes;
}

class ResourceFileTest : public ::testing::TestWithParam<ResourceCase> {};

TEST(ResourceFolderTest, HoldsTheGeneratedFiles) {
    const std::vector<ResourceCase> cases = ManifestCases();
    EXPECT_GE(cases.size(), 20u);
    for (const ResourceCase& c : cases) {
        EXPECT_TRUE(fs::exists(ResourceFolder() / c.file)) << c.file;
        EXPECT_NE(c.expect, Verdict::Unknown) << c.file;
    }
}

TEST_P(ResourceFileTest, EndsAsItsVerdictSaysWithinThePicturesBudget) {
    const ResourceCase& c = GetParam();
    const std::string in = (ResourceFolder() / c.file).string();
    SCOPED_TRACE(c.what);
    ExpectSameEveryRun(in, c.width, c.height, c.expect);
}

INSTANTIATE_TEST_SUITE_P(EveryFile, ResourceFileTest, ::testing::ValuesIn(ManifestCases()),
                         [](const auto& testCase) { return TestNameOf(testCase.param.file); });

// Less address space than the budget: memory that runs short must still end in a conversion
// or the designed lines (a library that cannot fail cleanly is asked only what is there).
TEST_P(ResourceFileTest, EndsAsDesignedWhenMemoryRunsShort) {
    if (ProgramHasAsan) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
    const ResourceCase& c = GetParam();
    const std::string in = (ResourceFolder() / c.file).string();
    SCOPED_TRACE(c.what);
    for (const uint64_t share : {2, 4, 8}) {
        SCOPED_TRACE("a " + std::to_string(share) + "th of the budget");
        TempDir dir;
        const std::string out = (dir / "out.pgm").string();
        RunOptions options;
        options.timeoutSeconds = TimeoutSeconds;
        options.addressSpaceLimitBytes =
            std::max(BudgetBytes(c.width, c.height) / share, LeastAddressSpace);
        ExpectEndedAs(RunProgram({"PGM", in, out}, options), in, out,
                      c.expect == Verdict::Refused ? Verdict::Refused : Verdict::Either,
                      /*anyStep=*/true);
    }
}

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
    // Mapped only as far as its headers say: the file's size is no part of the budget.
    ExpectSameEveryRun(in.string(), 1, 1, Verdict::Converts);
}

struct TailCase {
    const char* name;
    const char* picture;  // under tests/data
    uint64_t width;
    uint64_t height;
};

class PictureWithTailTest : public ::testing::TestWithParam<TailCase> {};

// A small picture followed by 2.9 GB of zeros (a sparse file: no room on disk). The file is
// mapped whole, so its size counts as address space, but only the pages the decoder reads
// become memory: the run stays within the picture's budget of resident memory.
TEST_P(PictureWithTailTest, OnlyThePictureBecomesResident) {
    const TailCase& c = GetParam();
    TempDir dir;
    const fs::path in = dir / (std::string("tail-") + fs::path(c.picture).filename().string());
    fs::copy_file(TestData(c.picture), in);
    const uint64_t fileBytes = fs::file_size(in) + TailBytes;
    fs::resize_file(in, fileBytes);
    const uint64_t peak =
        ExpectSameEveryRun(in.string(), c.width, c.height, Verdict::Converts, fileBytes);
    // Sanitizers keep memory of their own beside every byte the program touches.
    if (!ProgramHasAsan) {
        EXPECT_LE(peak, BudgetBytes(c.width, c.height));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureWithTailTest,
                         ::testing::Values(TailCase{"Pam", "pnm/rgb.pam", 23, 17},
                                           TailCase{"Ppm", "pnm/raw.ppm", 23, 17},
                                           TailCase{"Qoi", "qoi/rgb.qoi", 23, 17},
                                           TailCase{"Tga", "tga/rgb24.tga", 23, 17},
                                           TailCase{"Heic", "heif/lossy.heic", 33, 20},
                                           TailCase{"Avif", "avif/lossy.avif", 33, 20},
                                           TailCase{"Jxl", "jxl/lossy.jxl", 33, 20}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

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
    if (ProgramHasAsan) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
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
        run = RunWithinBudget(fifo.string(), (dir / "out.pgm").string(), 1, 1);
        ::close(holder);
    }
    ExpectEndedAs(run, fifo.string(), (dir / "out.pgm").string(), Verdict::Refused);
}

}  // namespace
}  // namespace pic2pnm::testing

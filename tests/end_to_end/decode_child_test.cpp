// The sandbox as a user sees it: whatever a decode child does, the run ends with the designed
// lines of a picture that cannot be loaded and leaves nothing behind; PIC2PNM_SANDBOX=0 decodes
// in the program's own process; where no child can be confined the program says so once and
// converts as before.
#include <errno.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "helpers/run_program.h"
#include "helpers/sanitizer_build.h"
#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

namespace fs = std::filesystem;

const std::string InvalidPicture = "Error 0x80040000: Can't load bitmap file. Invalid picture\n";

std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

struct FaultCase {
    const char* name;
    const char* fault;  // PIC2PNM_CHILD_FAULT
    const char* input;  // BMP: the native loader's child, then the second decoder's; PNG: one
};

class DecodeChildFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(DecodeChildFaultTest, GivesTheInvalidPictureLinesAndLeavesNothing) {
    const FaultCase& c = GetParam();
#ifdef PIC2PNM_PROGRAM_HAS_ASAN
    if (std::string(c.fault) == "allocate")
        GTEST_SKIP() << "no address-space limit under AddressSanitizer";
#endif
    TempDir dir;
    const fs::path in = dir / c.input;
    fs::copy_file(TestData("e2e") / c.input, in);
    const fs::path out = dir / "out.ppm";
    RunOptions options;
    options.program = PIC2PNM_CHILD_FAULT_BINARY;
    options.environment = {{"PIC2PNM_CHILD_FAULT", c.fault},
                           {"PIC2PNM_CHILD_CPU_SECONDS", "1"},
                           {"PIC2PNM_CHILD_WALL_MS", "10000"}};
    const ProgramRun run = RunProgram({"PPM", in.string(), out.string()}, options);
    EXPECT_EQ(run.exitStatus, 1);
    const std::string lines = "Can't load picture: " + in.string() + "\n" + InvalidPicture;
#ifdef PIC2PNM_PROGRAM_HAS_ASAN
    // AddressSanitizer reports the crash in the child, and the parent passes its report on.
    if (std::string(c.fault) == "crash") {
        EXPECT_NE(run.output.find("ERROR: AddressSanitizer: SEGV"), std::string::npos);
        EXPECT_TRUE(run.output.ends_with(lines)) << run.output;
    } else {
        EXPECT_EQ(run.output, lines);
    }
#else
    EXPECT_EQ(run.output, lines);
#endif
    EXPECT_EQ(FilesIn(dir.Path()), std::set<std::string>{c.input});
    EXPECT_FALSE(fs::exists("pic2pnm-child-was-here"));

    // The same program decodes in its own process with the sandbox off: the hook never runs.
    options.environment.emplace_back("PIC2PNM_SANDBOX", "0");
    const ProgramRun off = RunProgram({"PPM", in.string(), out.string()}, options);
    EXPECT_EQ(off.exitStatus, 0);
    EXPECT_EQ(off.output, "Picture converted: " + out.string() + "\n");
}

INSTANTIATE_TEST_SUITE_P(EveryFault, DecodeChildFaultTest,
                         ::testing::Values(FaultCase{"CrashBmp", "crash", "photo.bmp"},
                                           FaultCase{"CrashPng", "crash", "photo.png"},
                                           FaultCase{"Abort", "abort", "photo.png"},
                                           FaultCase{"Spin", "spin", "photo.bmp"},
                                           FaultCase{"AllocateForever", "allocate", "photo.png"},
                                           FaultCase{"Open", "open", "photo.bmp"},
                                           FaultCase{"Socket", "socket", "photo.png"},
                                           FaultCase{"Execve", "execve", "photo.png"},
                                           FaultCase{"LyingRecordBmp", "lie", "photo.bmp"},
                                           FaultCase{"LyingRecordPng", "lie", "photo.png"},
                                           FaultCase{"ShortRecord", "short", "photo.png"}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

// Filters the tests put on the program before it starts, as a container's would be.
bool ForbidFilters() {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    const bool made = filter != nullptr &&
                      seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(seccomp), 0) == 0 &&
                      seccomp_rule_add(filter, SCMP_ACT_ERRNO(EINVAL), SCMP_SYS(prctl), 1,
                                       SCMP_A0(SCMP_CMP_EQ, PR_SET_SECCOMP)) == 0 &&
                      seccomp_load(filter) == 0;
    seccomp_release(filter);
    return made;
}

bool ForbidFork() {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    // A new process, not a thread nor LeakSanitizer's tracer, which share the memory.
    const bool made = filter != nullptr &&
                      seccomp_rule_add(filter, SCMP_ACT_ERRNO(EAGAIN), SCMP_SYS(clone), 1,
                                       SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_VM, 0)) == 0 &&
                      seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0 &&
                      seccomp_load(filter) == 0;
    seccomp_release(filter);
    return made;
}

struct FallbackCase {
    const char* name;
    bool (*setup)();
    std::string notice;
};

class DecodeChildFallbackTest : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(DecodeChildFallbackTest, DecodesInProcessAndSaysSoOnce) {
    const FallbackCase& c = GetParam();
    TempDir dir;
    const fs::path out = dir / "out.ppm";
    // An icon whose image is PNG: the native loader's decode, then the second decoder's.
    const std::string in = (TestData("e2e") / "png-image.ico").string();
    RunOptions options;
    options.childSetup = c.setup;
    const ProgramRun run = RunProgram({"PPM", in, out.string()}, options);
    ASSERT_NE(run.exitStatus, ChildSetupFailed) << "the test's own filter cannot be installed";
    EXPECT_EQ(run.exitStatus, 0);
    const std::string notice = "pic2pnm: decoding without the sandbox: " + c.notice;
    EXPECT_EQ(run.output.substr(0, notice.size()), notice) << run.output;
    // The notice is one line, printed once, before the program's own line.
    const std::string converted = "Picture converted: " + out.string() + "\n";
    EXPECT_EQ(run.output.find('\n') + 1 + converted.size(), run.output.size()) << run.output;
    EXPECT_TRUE(run.output.ends_with(converted)) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    EveryReason, DecodeChildFallbackTest,
    // The reason ends in the system's text for the error.
    ::testing::Values(FallbackCase{"NoSystemCallFilter", ForbidFilters, "no system-call filter: "},
                      FallbackCase{"NoFork", ForbidFork, "fork: Resource temporarily unavailable"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// As where ptrace restrictions forbid reading another process's memory.
bool ForbidReadingOtherProcesses() {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    const bool made =
        filter != nullptr &&
        seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(process_vm_readv), 0) == 0 &&
        seccomp_load(filter) == 0;
    seccomp_release(filter);
    return made;
}

class DecodeChildPipeTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DecodeChildPipeTest, PixelsComeDownThePipeWhereTheChildsMemoryCannotBeRead) {
    TempDir dir;
    const std::string in = (TestData("e2e") / GetParam()).string();
    const ProgramRun read = RunProgram({"PPM", in, (dir / "read.ppm").string()});
    RunOptions options;
    options.childSetup = ForbidReadingOtherProcesses;
    const ProgramRun piped = RunProgram({"PPM", in, (dir / "piped.ppm").string()}, options);
    ASSERT_NE(piped.exitStatus, ChildSetupFailed) << "the test's own filter cannot be installed";
    EXPECT_EQ(piped.exitStatus, read.exitStatus);
    EXPECT_EQ(piped.output.substr(0, 20), read.output.substr(0, 20)) << piped.output;
    EXPECT_EQ(fs::exists(dir / "piped.ppm"), fs::exists(dir / "read.ppm"));
    if (fs::exists(dir / "read.ppm")) {
        EXPECT_EQ(ReadFileText(dir / "piped.ppm"), ReadFileText(dir / "read.ppm"));
    }
}

// A picture through each loader, and an icon: a colour bitmap and a mask from one child.
INSTANTIATE_TEST_SUITE_P(EveryLoader, DecodeChildPipeTest,
                         ::testing::Values("photo.png", "photo.bmp", "bmp-image.ico"),
                         [](const auto& testCase) { return TestNameOf(testCase.param); });

}  // namespace
}  // namespace pic2pnm::testing

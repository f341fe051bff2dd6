// The decode-reason tool: what the decode child found reaches the parent whole, on the
// program's own road, with and without the sandbox.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers/run_program.h"
#include "helpers/test_files.h"

namespace pic2pnm {
namespace {

struct ReasonCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* expected;  // the tool's line
};

TEST(DecodeReason, EachFileGivesItsStatusAndReason) {
    const std::vector<uint8_t> qoi = testing::ReadFileBytes(testing::TestData("qoi/rgb.qoi"));
    const std::vector<ReasonCase> cases = {
        {"a picture", qoi, "Ok\t\n"},
        {"a QOI header alone",
         {qoi.begin(), qoi.begin() + 14},
         "Corrupt\tqoi: too few bytes for the picture's pixels\n"},
        {"no format at all",
         {'n', 'o', 'n', 'e'},
         "NotMyFormat\tpicture: no decoder knows the file's signature\n"},
    };
    testing::TempDir dir;
    for (const char* sandbox : {"1", "0"}) {
        for (const ReasonCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", sandbox " + sandbox);
            const std::string path = (dir / "file").string();
            testing::WriteFileBytes(path, c.bytes);
            testing::RunOptions options;
            options.program = PIC2PNM_DECODE_REASON;
            options.environment = {{"PIC2PNM_SANDBOX", sandbox}};
            options.separateStandardOutput = true;
            const testing::ProgramRun run = testing::RunProgram({path}, options);
            EXPECT_EQ(run.exitStatus, 0) << run.output;
            EXPECT_EQ(run.standardOutput, c.expected);
        }
    }
}

}  // namespace
}  // namespace pic2pnm

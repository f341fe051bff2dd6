// The command line: "(PBM|PGM|PPM) [/NoComment] InFileName OutFileName".
#include "frontend/parse_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/support_command_line.h"

namespace pic2pnm {
namespace {

struct Case {
    std::vector<std::string> arguments;
    bool accepted;
    int32_t type = OutputPbm;
    bool noComment = false;
    std::string in = {};
    std::string out = {};
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        // Accepted forms, keywords in any letter case.
        {{"pbm", "/nocomment", "a.png", "b.pbm"}, true, OutputPbm, true, "a.png", "b.pbm"},
        {{"PBM", "a.png", "b.pbm"}, true, OutputPbm, false, "a.png", "b.pbm"},
        {{"PGM", "/NoComment", "a.png", "b.pgm"}, true, OutputPgm, true, "a.png", "b.pgm"},
        {{"Pgm", "/NOCOMMENT", "in", "out"}, true, OutputPgm, true, "in", "out"},
        {{"PPM", "x", "y"}, true, OutputPpm, false, "x", "y"},
        {{"ppm", "x", "y"}, true, OutputPpm, false, "x", "y"},
        {{"Ppm", "/noCOMMENT", "x", "y"}, true, OutputPpm, true, "x", "y"},
        {{"pBm", "my picture.png", "out dir/b.pbm"},
         true,
         OutputPbm,
         false,
         "my picture.png",
         "out dir/b.pbm"},
        // File names are taken as they are, even when they look like keywords.
        {{"PPM", "PBM", "/NoComment"}, true, OutputPpm, false, "PBM", "/NoComment"},
        {{"PGM", "/NoComment", "/NoComment", "PGM"}, true, OutputPgm, true, "/NoComment", "PGM"},
        // Wrong number of arguments.
        {{}, false},
        {{"PBM"}, false},
        {{"PBM", "a.png"}, false},
        {{"PBM", "/NoComment", "a.png", "b.pbm", "c"}, false},
        {{"PBM", "a", "b", "c", "d"}, false},
        // Unknown output type.
        {{"gif", "a.png", "b.gif"}, false},
        {{"PNM", "a.png", "b.pnm"}, false},
        {{"PBMX", "a.png", "b.pbm"}, false},
        {{" PBM", "a.png", "b.pbm"}, false},
        {{"", "a.png", "b.pbm"}, false},
        {{"/NoComment", "PBM", "a.png", "b.pbm"}, false},
        // The switch, spelt exactly and in second place.
        {{"PGM", "-NoComment", "a.png", "b.pgm"}, false},
        {{"PGM", "NoComment", "a.png", "b.pgm"}, false},
        {{"PGM", "/NoComments", "a.png", "b.pgm"}, false},
        {{"PGM", "/No", "a.png", "b.pgm"}, false},
        {{"PGM", "a.png", "/NoComment", "b.pgm"}, false},
        {{"PGM", "a.png", "b.pgm", "/NoComment"}, false},
    };
    return cases;
}

TEST(ParseCommandLineTest, AcceptsTheTwoFormsOnly) {
    for (const Case& c : Cases()) {
        std::string joined;
        for (const std::string& argument : c.arguments) joined += "[" + argument + "]";
        SCOPED_TRACE(joined);
        SupportCommandLine().Arguments().SetItems(c.arguments);
        // Start from a request filled with the opposite of what is expected, so that every
        // field must be set.
        ConvertRequest request;
        request.OutputType = c.type == OutputPbm ? OutputPpm : OutputPbm;
        request.NoComment = !c.noComment;
        request.InFileName = "stale in";
        request.OutFileName = "stale out";
        ASSERT_EQ(ParseCommandLine(request), c.accepted);
        if (!c.accepted) continue;
        EXPECT_EQ(request.OutputType, c.type);
        EXPECT_EQ(request.NoComment, c.noComment);
        EXPECT_EQ(request.InFileName, c.in);
        EXPECT_EQ(request.OutFileName, c.out);
    }
    SupportCommandLine().Arguments().SetItems({});
}

}  // namespace
}  // namespace pic2pnm

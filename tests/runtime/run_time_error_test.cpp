// Raised errors, their standard descriptions and the current error.
#include "runtime/run_time_error.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "helpers/capture_error.h"

namespace pic2pnm {
namespace {

using testing::CaptureError;

struct Description {
    int32_t number;
    const char* text;
};

const std::vector<Description>& StandardDescriptions() {
    static const std::vector<Description> table = {
        {5, "Invalid procedure call or argument"},
        {6, "Overflow"},
        {7, "Out of memory"},
        {9, "Subscript out of range"},
        {52, "Bad file name or number"},
        {53, "File not found"},
        {55, "File already open"},
        {57, "Device I/O error"},
        {61, "Disk full"},
        {67, "Too many files"},
        {70, "Permission denied"},
        {75, "Path/File access error"},
        {76, "Path not found"},
        {481, "Invalid picture"},
    };
    return table;
}

TEST(RunTimeErrorTest, StandardDescriptions) {
    for (const Description& d : StandardDescriptions()) {
        SCOPED_TRACE(d.number);
        EXPECT_EQ(StandardDescription(d.number), d.text);
    }
    for (const int32_t unknown : {0, 1, 4, 8, 10, 51, 54, 482, -1, ErrorNumber::ObjectError})
        EXPECT_EQ(StandardDescription(unknown), "") << unknown;
}

TEST(RunTimeErrorTest, RaiseErrorFallsBackOnTheStandardDescription) {
    struct Case {
        int32_t number;
        std::string given;
        std::string expected;
    };
    std::vector<Case> cases;
    for (const Description& d : StandardDescriptions()) cases.push_back({d.number, "", d.text});
    cases.push_back({51, "", ""});
    cases.push_back({51, "Can't get screen DC", "Can't get screen DC"});
    cases.push_back({53, "Own words", "Own words"});
    cases.push_back({ErrorNumber::ObjectError + 3, "From an object", "From an object"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const auto error = CaptureError([&] { RaiseError(c.number, c.given); });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->Number(), c.number);
        EXPECT_EQ(error->Description(), c.expected);
        EXPECT_STREQ(error->what(), c.expected.c_str());
    }
}

TEST(RunTimeErrorTest, ResumeNextMakesAnyFailureTheCurrentError) {
    struct Case {
        const char* name;
        std::function<void()> step;
        int32_t number;
        std::string description;
    };
    const std::vector<Case> cases = {
        {"run-time error", [] { RaiseError(76); }, 76, "Path not found"},
        {"run-time error with its own words", [] { RaiseError(481, "Bad header"); }, 481,
         "Bad header"},
        {"negative number", [] { RaiseError(ErrorNumber::ObjectError + 1, "x"); },
         ErrorNumber::ObjectError + 1, "x"},
        {"out of memory", [] { throw std::bad_alloc(); }, 7, "Out of memory"},
        {"array too long", [] { throw std::bad_array_new_length(); }, 7, "Out of memory"},
        {"standard exception", [] { throw std::runtime_error("boom"); }, 5,
         "Invalid procedure call or argument"},
        {"anything else", [] { throw 42; }, 5, "Invalid procedure call or argument"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Err().Set(1, "before");
        ResumeNext(c.step);
        EXPECT_EQ(Err().Number, c.number);
        EXPECT_EQ(Err().Description, c.description);
    }
}

TEST(RunTimeErrorTest, ResumeNextRunsTheStepAndKeepsTheErrorWhenNothingFails) {
    Err().Set(53, "File not found");
    int runs = 0;
    ResumeNext([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(Err().Number, 53);
    EXPECT_EQ(Err().Description, "File not found");

    // A step stops at its error.
    bool after = false;
    ResumeNext([&] {
        RaiseError(9);
        after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_EQ(Err().Number, 9);

    Err().Clear();
    EXPECT_EQ(Err().Number, 0);
    EXPECT_EQ(Err().Description, "");
}

}  // namespace
}  // namespace pic2pnm

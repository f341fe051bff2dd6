#include "helpers/capture_console.h"

#include <gtest/gtest.h>

namespace pic2pnm::testing {

std::string CaptureConsole(const std::function<void()>& action) {
    ::testing::internal::CaptureStdout();
    try {
        action();
    } catch (...) {
        // Give standard output back before the failure reaches the test.
        ::testing::internal::GetCapturedStdout();
        throw;
    }
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace pic2pnm::testing

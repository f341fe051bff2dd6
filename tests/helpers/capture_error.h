// Runs a piece of code and gives back the run-time error it raised, if any, so that a test can
// check both the number and the description.
#pragma once

#include <functional>
#include <optional>

#include "runtime/run_time_error.h"

namespace pic2pnm::testing {

std::optional<RuntimeError> CaptureError(const std::function<void()>& action);

// The number of the raised error, 0 when the code raised none.
int32_t RaisedNumber(const std::function<void()>& action);

}  // namespace pic2pnm::testing

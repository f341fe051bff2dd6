#include "helpers/capture_error.h"

namespace pic2pnm::testing {

std::optional<RuntimeError> CaptureError(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& error) {
        return error;
    }
    return std::nullopt;
}

int32_t RaisedNumber(const std::function<void()>& action) {
    const std::optional<RuntimeError> error = CaptureError(action);
    return error ? error->Number() : 0;
}

}  // namespace pic2pnm::testing

// The run-time's number formatting with a digit pattern: "0000" writes at least four digits,
// zero-filled on the left.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pic2pnm {

std::string FormatNumber(int64_t value, std::string_view zeroPattern);

}  // namespace pic2pnm

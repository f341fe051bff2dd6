#pragma once

#include <string>
#include <string_view>

namespace pic2pnm {

// The run-time's upper-casing: ASCII letters a to z become A to Z; other bytes stay.
std::string UCase(std::string_view text);

}  // namespace pic2pnm

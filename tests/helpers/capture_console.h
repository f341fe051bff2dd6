// Runs a piece of code and gives back what it printed on standard output, which is where every
// console line of the program goes.
#pragma once

#include <functional>
#include <string>

namespace pic2pnm::testing {

std::string CaptureConsole(const std::function<void()>& action);

}  // namespace pic2pnm::testing

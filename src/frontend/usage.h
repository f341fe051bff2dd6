#pragma once

namespace pic2pnm {

// Prints the application header and the usage line.
void ShowUsage();

}  // namespace pic2pnm

#pragma once

namespace pic2pnm {

// Prints "Error <number>: <description>" for the current error; leaves the error as it is.
void ShowError();

}  // namespace pic2pnm

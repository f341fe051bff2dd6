#pragma once

namespace pic2pnm {

// Prepares the process and runs one conversion.
void Main();

// Parses the command line and converts, or shows the usage.
void RunConversion();

// The process: sets up the run-time from the process arguments, runs Main and gives the exit
// status. An error that escapes Main is reported on standard error.
int RunProcess(int argc, char** argv);

}  // namespace pic2pnm

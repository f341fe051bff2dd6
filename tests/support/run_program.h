// Runs the built program as a separate process, as a user would, and collects what it says.
#pragma once

#include <string>
#include <vector>

namespace pic2pnm::testing {

struct ProgramRun {
    int exitStatus = -1;  // -1 when the process did not exit normally
    bool timedOut = false;
    std::string output;  // standard output and standard error, in order
};

// Runs the program with the arguments (not counting the program name). A run that lasts
// longer than the timeout is killed and reported as timed out.
ProgramRun RunProgram(const std::vector<std::string>& arguments, int timeoutSeconds = 20);

// The path of the built program.
std::string ProgramPath();

}  // namespace pic2pnm::testing

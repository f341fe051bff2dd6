// Runs the built program as a separate process, as a user would, and collects what it says.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pic2pnm::testing {

struct ProgramRun {
    int exitStatus = -1;  // -1 when the process did not exit normally
    bool timedOut = false;
    std::string output;  // standard output and standard error, in order
    // Standard output alone, when RunOptions::separateStandardOutput asks for it (`output`
    // then holds standard error alone).
    std::string standardOutput;
    double seconds = 0;              // from the start of the process to its end (or its kill)
    int termSignal = 0;              // the signal that ended the process, 0 when it exited
    uint64_t peakResidentBytes = 0;  // the most memory the process held at once
};

// The exit status of a run whose child set-up (RunOptions::childSetup) failed.
inline constexpr int ChildSetupFailed = 125;

struct RunOptions {
    int timeoutSeconds = 20;
    // Set in the process, over what it inherits: name, value.
    std::vector<std::pair<std::string, std::string>> environment;
    // The process's address space (RLIMIT_AS) in bytes; 0 leaves it as inherited.
    uint64_t addressSpaceLimitBytes = 0;
    // Runs in the new process right before the program starts; false ends the process with
    // ChildSetupFailed.
    bool (*childSetup)() = nullptr;
    // Standard output goes to this file (created or emptied first) instead of being collected.
    std::string standardOutputPath;
    // Standard output is collected apart from standard error, into ProgramRun::standardOutput.
    bool separateStandardOutput = false;
    // Called with the process id once the program runs, before its output is collected (for
    // a test that signals the program, or feeds or drains a FIFO it uses).
    std::function<void(pid_t)> whileRunning;
    // The program to run; empty for the built program (ProgramPath).
    std::string program;
};

// Runs the program with the arguments (not counting the program name). A run that lasts
// longer than the timeout is killed and reported as timed out.
ProgramRun RunProgram(const std::vector<std::string>& arguments, const RunOptions& options);
ProgramRun RunProgram(const std::vector<std::string>& arguments, int timeoutSeconds = 20);

// The path of the built program.
std::string ProgramPath();

}  // namespace pic2pnm::testing

#include "helpers/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace pic2pnm::testing {

std::string ProgramPath() {
    return PIC2PNM_BINARY;
}

ProgramRun RunProgram(const std::vector<std::string>& arguments, int timeoutSeconds) {
    RunOptions options;
    options.timeoutSeconds = timeoutSeconds;
    return RunProgram(arguments, options);
}

ProgramRun RunProgram(const std::vector<std::string>& arguments, const RunOptions& options) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    int outputEnds[2] = {-1, -1};
    if (options.separateStandardOutput && pipe2(outputEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> argv = {options.program.empty() ? ProgramPath() : options.program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        if (options.addressSpaceLimitBytes != 0) {
            const rlimit limit{options.addressSpaceLimitBytes, options.addressSpaceLimitBytes};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
        }
        if (!options.standardOutputPath.empty()) {
            const int file =
                open(options.standardOutputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (file < 0) _exit(126);
            dup2(file, STDOUT_FILENO);
            close(file);
        } else {
            dup2(options.separateStandardOutput ? outputEnds[1] : pipeEnds[1], STDOUT_FILENO);
        }
        dup2(pipeEnds[1], STDERR_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, STDIN_FILENO);
        // The program checks at its end that it gave back every handle, image and file.
        setenv("PIC2PNM_CHECK_RELEASES", "1", 1);
        for (const auto& [name, value] : options.environment)
            setenv(name.c_str(), value.c_str(), 1);
        if (options.childSetup != nullptr && !options.childSetup()) _exit(ChildSetupFailed);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    if (outputEnds[1] >= 0) close(outputEnds[1]);
    if (options.whileRunning) options.whileRunning(child);

    ProgramRun run;
    const auto deadline = start + std::chrono::seconds(options.timeoutSeconds);
    char buffer[4096];
    // Standard error (or both) and, when apart, standard output, until both have ended.
    pollfd fds[2] = {{pipeEnds[0], POLLIN, 0}, {outputEnds[0], POLLIN, 0}};
    std::string* into[2] = {&run.output, &run.standardOutput};
    for (;;) {
        if (fds[0].fd < 0 && fds[1].fd < 0) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                continue;
            }
            into[i]->append(buffer, static_cast<size_t>(n));
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    run.peakResidentBytes = static_cast<uint64_t>(usage.ru_maxrss) * 1024;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!run.timedOut && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.termSignal = WTERMSIG(status);
    return run;
}

}  // namespace pic2pnm::testing

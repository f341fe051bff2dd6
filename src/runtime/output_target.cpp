#include "runtime/output_target.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/file_numbers.h"
#include "runtime/run_time_error.h"
#include "runtime/temporary_files.h"

namespace pic2pnm {
namespace {

// A descriptor opened without waiting (a FIFO without a reader fails at once) writes blocking.
void MakeBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// True when `source` names the file of `status` (a regular file), by any name or link.
bool IsSource(const struct stat& status, const std::string& source) {
    struct stat named {};
    return !source.empty() && source.find('\0') == std::string::npos &&
           ::stat(source.c_str(), &named) == 0 && named.st_dev == status.st_dev &&
           named.st_ino == status.st_ino;
}

OutputTarget Direct(int fd, const std::string& source) {
    MakeBlocking(fd);
    OutputTarget target;
    target.fd = fd;
    struct stat status {};
    target.regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    target.replacesSource = target.regular && IsSource(status, source);
    return target;
}

std::string DirectoryPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path a chain of symbolic links ends at; the path itself when it is no link. A chain too
// long or a link that cannot be read ends the walk, and the open then reports it.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), link, sizeof link);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof link) return path;
        const std::string text(link, static_cast<size_t>(length));
        path = text.front() == '/' ? text : DirectoryPart(path) + text;
    }
    return path;
}

// True when `named` (followed by the kernel) and `target` (followed by FollowLinks) are not
// the same file: links of /proc name open files by text that is no path to them.
bool FollowedElsewhere(const std::string& named, const std::string& target) {
    if (named == target) return false;
    struct stat viaKernel {};
    struct stat viaText {};
    if (::stat(named.c_str(), &viaKernel) != 0 || ::lstat(target.c_str(), &viaText) != 0)
        return true;
    return viaKernel.st_dev != viaText.st_dev || viaKernel.st_ino != viaText.st_ino;
}

[[noreturn]] void RaiseOpenError(int osError) {
    RaiseError(ErrorFromOpenForOutput(osError));
}

// Empties an existing file and writes it in place, as an output that cannot be replaced.
OutputTarget InPlace(int fd, const std::string& source) {
    if (::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        RaiseOpenError(error);
    }
    return Direct(fd, source);
}

}  // namespace

bool NamesStandardOutput(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    struct stat standardOutput {};
    struct stat named {};
    if (::fstat(STDOUT_FILENO, &standardOutput) != 0) return false;
    if (::stat(std::string(path).c_str(), &named) != 0) return false;
    return standardOutput.st_dev == named.st_dev && standardOutput.st_ino == named.st_ino;
}

int OpenDirectOutput(const std::string& path, int& error) {
    int fd;
    do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    MakeBlocking(fd);
    return fd;
}

OutputTarget OpenReplacingOutput(const std::string& path, const std::string& source) {
    if (NamesStandardOutput(path)) {
        const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (fd < 0) RaiseOpenError(errno);
        return Direct(fd, source);
    }
    const std::string target = FollowLinks(path);

    // Opening the existing file for writing, without changing it, says whether it may be
    // written at all (as an open for output would) and what kind of file it is.
    int existing;
    do existing = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    while (existing < 0 && errno == EINTR);
    struct stat status {};
    if (existing < 0) {
        if (errno != ENOENT) RaiseOpenError(errno);
        // A missing name ending in a slash can only be a folder; the open says what is wrong.
        if (target.back() == '/') {
            int error = 0;
            const int fd = OpenDirectOutput(target, error);
            if (fd < 0) RaiseOpenError(error);
            return Direct(fd, source);
        }
    } else if (::fstat(existing, &status) != 0 || !S_ISREG(status.st_mode)) {
        return Direct(existing, source);
    } else if (FollowedElsewhere(path, target)) {
        // No name to rename over: the file is written in place, as an open for output would.
        return InPlace(existing, source);
    }

    OutputTarget replacing;
    int error = 0;
    replacing.fd = CreateTemporaryBeside(target, replacing.temporary, error);
    if (replacing.fd < 0) {
        if (error == EACCES || error == EPERM) {
            // The folder takes no new file: the existing file is written in place; a missing
            // one fails as its own open does.
            if (existing >= 0) return InPlace(existing, source);
            const int fd = OpenDirectOutput(target, error);
            if (fd < 0) RaiseOpenError(error);
            return Direct(fd, source);
        }
        if (existing >= 0) ::close(existing);
        RaiseOpenError(error);
    }
    if (existing >= 0) {
        // The new file keeps the read and write permissions of the one it replaces, and its
        // owner and group as far as this process may give them.
        ::fchmod(replacing.fd, status.st_mode & 0777);
        if (::fchown(replacing.fd, status.st_uid, status.st_gid) != 0)
            (void)!::fchown(replacing.fd, static_cast<uid_t>(-1), status.st_gid);
        ::close(existing);
    }
    replacing.target = target;
    replacing.regular = true;
    replacing.replacesSource = existing >= 0 && IsSource(status, source);
    return replacing;
}

}  // namespace pic2pnm

#include "runtime/posix_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace pic2pnm {

int OpenForReading(const char* name) {
    int fd;
    do fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

ssize_t ReadOnce(int fd, void* buffer, size_t size) {
    ssize_t n;
    do n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

ssize_t ReadUpTo(int fd, void* buffer, size_t size) {
    auto* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ReadOnce(fd, bytes + done, size - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

int WriteAll(int fd, const void* data, size_t size, size_t& written) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        bytes += n;
        size -= static_cast<size_t>(n);
        written += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace pic2pnm

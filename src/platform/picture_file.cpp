#include "platform/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace pic2pnm {
namespace {

// Bytes read from a device: fewer than the smallest picture file of any format.
constexpr size_t DeviceHeadBytes = 16;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

PictureFileStatus StatusFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return PictureFileStatus::NotFound;
        case EACCES:
        case EPERM: return PictureFileStatus::AccessDenied;
        case ENOMEM: return PictureFileStatus::OutOfMemory;
        default: return PictureFileStatus::ReadError;
    }
}

// Reads up to `size` bytes; returns the count or -1 with errno set.
ssize_t ReadUpTo(int fd, uint8_t* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

uint8_t* NewBytes(size_t size) { return new (std::nothrow) uint8_t[size == 0 ? 1 : size]; }

PictureFileStatus ReadKnownSize(int fd, size_t size, PictureFileBytes& out) {
    std::unique_ptr<uint8_t[]> data(NewBytes(size));
    if (!data) return PictureFileStatus::OutOfMemory;
    ssize_t n = ReadUpTo(fd, data.get(), size);
    if (n < 0) return StatusFromErrno(errno);
    out.data = std::move(data);
    out.size = static_cast<size_t>(n);  // a file that shrank meanwhile is simply shorter
    return PictureFileStatus::Ok;
}

PictureFileStatus ReadToEnd(int fd, PictureFileBytes& out) {
    size_t capacity = 64 * 1024;
    size_t size = 0;
    std::unique_ptr<uint8_t[]> data(NewBytes(capacity));
    if (!data) return PictureFileStatus::OutOfMemory;
    for (;;) {
        if (size == capacity) {
            if (capacity >= MaxPictureFileBytes) return PictureFileStatus::TooLarge;
            size_t bigger = capacity * 2;
            std::unique_ptr<uint8_t[]> grown(NewBytes(bigger));
            if (!grown) return PictureFileStatus::OutOfMemory;
            std::memcpy(grown.get(), data.get(), size);
            data = std::move(grown);
            capacity = bigger;
        }
        ssize_t n = ::read(fd, data.get() + size, capacity - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return StatusFromErrno(errno);
        }
        if (n == 0) break;
        size += static_cast<size_t>(n);
    }
    out.data = std::move(data);
    out.size = size;
    return PictureFileStatus::Ok;
}

}  // namespace

PictureFileStatus ReadPictureFile(std::string_view path, PictureFileBytes& out) {
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return PictureFileStatus::NotFound;
    std::string name(path);
    // Non-blocking open so that a pipe without a writer cannot hang us; reads block again.
    int fd;
    do fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return StatusFromErrno(errno);
    Descriptor file(fd);
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    struct stat info {};
    if (::fstat(fd, &info) != 0) return StatusFromErrno(errno);
    if (S_ISDIR(info.st_mode)) return PictureFileStatus::ReadError;
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return ReadKnownSize(fd, DeviceHeadBytes, out);
    if (S_ISREG(info.st_mode)) {
        if (static_cast<uint64_t>(info.st_size) > MaxPictureFileBytes)
            return PictureFileStatus::TooLarge;
        return ReadKnownSize(fd, static_cast<size_t>(info.st_size), out);
    }
    return ReadToEnd(fd, out);
}

}  // namespace pic2pnm

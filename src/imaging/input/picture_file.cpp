#include "imaging/input/picture_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "runtime/large_memory.h"
#include "runtime/posix_io.h"

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

PictureFileStatus ReadKnownSize(int fd, size_t size, PictureFileBytes& out) {
    if (!out.Reserve(size, 0)) return PictureFileStatus::OutOfMemory;
    ssize_t n = ReadUpTo(fd, out.Data(), size);
    if (n < 0) return StatusFromErrno(errno);
    out.SetSize(static_cast<size_t>(n));  // a file that shrank meanwhile is simply shorter
    return PictureFileStatus::Ok;
}

// True when at least one more byte can be read.
bool HasMoreBytes(int fd, PictureFileStatus& failure) {
    uint8_t extra = 0;
    const ssize_t n = ReadUpTo(fd, &extra, 1);
    if (n < 0) failure = StatusFromErrno(errno);
    return n > 0;
}

PictureFileStatus ReadToEnd(int fd, PictureFileBytes& out) {
    size_t size = 0;
    if (!out.Reserve(64 * 1024, 0)) return PictureFileStatus::OutOfMemory;
    for (;;) {
        if (size == out.Capacity()) {
            // Full at the limit: one byte more makes the stream too large, without a buffer
            // ever growing past the limit to find out.
            if (size >= MaxPictureFileBytes) {
                PictureFileStatus failure = PictureFileStatus::Ok;
                if (HasMoreBytes(fd, failure)) return PictureFileStatus::TooLarge;
                if (failure != PictureFileStatus::Ok) return failure;
                break;
            }
            const size_t next = std::min<uint64_t>(out.Capacity() * 2, MaxPictureFileBytes);
            if (!out.Reserve(next, size)) return PictureFileStatus::OutOfMemory;
        }
        ssize_t n = ReadOnce(fd, out.Data() + size, out.Capacity() - size);
        if (n < 0) return StatusFromErrno(errno);
        if (n == 0) break;
        size += static_cast<size_t>(n);
    }
    out.SetSize(size);
    return PictureFileStatus::Ok;
}

PictureFileIdentity IdentityOf(const struct stat& info) {
    PictureFileIdentity identity;
    identity.regular = S_ISREG(info.st_mode);
    identity.stream = S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.inode = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<uint64_t>(info.st_size);
    identity.modifiedNs = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
    identity.changedNs = int64_t{info.st_ctim.tv_sec} * 1000000000 + info.st_ctim.tv_nsec;
    return identity;
}

struct KeptFile {
    std::string path;
    PictureFileBytes bytes;
    // A stream refused as too large: read again, it would only give what follows.
    PictureFileIdentity refusedStream;
};

KeptFile& Kept() {
    static KeptFile kept;
    return kept;
}

// A stream's size and times change as it is written and read; where it lives does not.
bool IsSameFile(const PictureFileIdentity& kept, const PictureFileIdentity& now) {
    if (now.regular) return kept == now;
    return now.stream && kept.stream && kept.device == now.device && kept.inode == now.inode;
}

// True when this very stream was refused as too large by the read before; forgets it.
bool WasRefusedBefore(const std::string& path, const PictureFileIdentity& identity) {
    KeptFile& kept = Kept();
    const bool refused =
        kept.refusedStream.stream && kept.path == path && IsSameFile(kept.refusedStream, identity);
    if (kept.refusedStream.stream) {
        kept.refusedStream = {};
        kept.path.clear();
    }
    return refused;
}

void RememberRefusedStream(const std::string& path, const PictureFileIdentity& identity) {
    KeptFile& kept = Kept();
    PictureFileBytes dropped;
    dropped.Swap(kept.bytes);
    kept.path = path;
    kept.refusedStream = identity;
}

// Hands the kept bytes to `out` when they are those of this very file; drops them otherwise,
// so that they never sit beside a second copy.
bool TakeKept(const std::string& path, const PictureFileIdentity& identity, PictureFileBytes& out) {
    KeptFile& kept = Kept();
    if (kept.bytes.Data() == nullptr) return false;
    const bool same = kept.path == path && IsSameFile(kept.bytes.Identity(), identity);
    if (same) out.Swap(kept.bytes);
    PictureFileBytes dropped;
    dropped.Swap(kept.bytes);
    kept.path.clear();
    return same;
}

}  // namespace

void PictureFileBytes::Swap(PictureFileBytes& other) noexcept {
    block_.Swap(other.block_);
    mapping_.Swap(other.mapping_);
    std::swap(size_, other.size_);
    std::swap(identity_, other.identity_);
}

void KeepForNextRead(std::string_view path, PictureFileBytes& bytes) {
    KeptFile& kept = Kept();
    PictureFileBytes dropped;
    dropped.Swap(kept.bytes);
    kept.path.clear();
    const PictureFileIdentity& identity = bytes.Identity();
    if (!(identity.regular || identity.stream) || bytes.Data() == nullptr) return;
    kept.path.assign(path);
    kept.bytes.Swap(bytes);
}

void PictureFileBytes::GiveBackKeepingWatch() noexcept {
    block_ = LargeBlock();
    mapping_.UnmapKeepingWatch();
    size_ = 0;
}

bool PictureFileBytes::Map(int fd, size_t bytes) {
    block_ = LargeBlock();
    if (!mapping_.Map(fd, bytes)) return false;
    size_ = bytes;
    return true;
}

bool PictureFileBytes::Reserve(size_t capacity, size_t keep) {
    if (mapping_.Data() != nullptr) {
        mapping_.Unmap();
        size_ = 0;
    }
    keep = std::min({keep, capacity, block_.Size()});
    if (block_.Data() != nullptr && capacity >= block_.Size()) {
        // Growing a stream's buffer: no moment holds the old and the new side by side.
        if (!block_.Grow(capacity, keep)) return false;
    } else {
        LargeBlock bigger(capacity);
        if (bigger.Data() == nullptr) return false;
        if (keep > 0) std::memcpy(bigger.Data(), Data(), keep);
        block_ = std::move(bigger);
    }
    size_ = std::min(size_, keep);
    return true;
}

namespace {

// How to read a regular file: all of it, mapped, unless its first bytes say fewer are of use
// or that its decoder rearranges them.
PictureFileStatus ReadingOf(int fd, uint64_t fileSize, FileReadingFunction readingOf,
                            FileReading& reading) {
    reading = FileReading{};
    if (readingOf == nullptr || fileSize <= HeadBytes) return PictureFileStatus::Ok;
    auto head = std::make_unique<uint8_t[]>(HeadBytes);
    ssize_t n;
    do n = ::pread(fd, head.get(), HeadBytes, 0);
    while (n < 0 && errno == EINTR);
    if (n < 0) return StatusFromErrno(errno);
    reading = readingOf({head.get(), static_cast<size_t>(n)}, fileSize);
    return PictureFileStatus::Ok;
}

}  // namespace

PictureFileStatus ReadPictureFile(std::string_view path, PictureFileBytes& out,
                                  FileReadingFunction readingOf) {
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return PictureFileStatus::NotFound;
    std::string name(path);
    const int fd = OpenForReading(name.c_str());
    if (fd < 0) return StatusFromErrno(errno);
    Descriptor file(fd);

    struct stat info {};
    if (::fstat(fd, &info) != 0) return StatusFromErrno(errno);
    // Before the directory and device checks, so that kept bytes are dropped on any read.
    const PictureFileIdentity identity = IdentityOf(info);
    if (WasRefusedBefore(name, identity)) return PictureFileStatus::TooLarge;
    if (TakeKept(name, identity, out)) return PictureFileStatus::Ok;
    if (S_ISDIR(info.st_mode)) return PictureFileStatus::ReadError;
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return ReadKnownSize(fd, DeviceHeadBytes, out);
    if (S_ISREG(info.st_mode)) {
        FileReading reading;
        if (PictureFileStatus status = ReadingOf(fd, identity.size, readingOf, reading);
            status != PictureFileStatus::Ok)
            return status;
        const uint64_t worth =
            reading.bytesNeeded == 0
                ? identity.size
                : std::min(identity.size, std::max<uint64_t>(reading.bytesNeeded, HeadBytes));
        if (worth > MaxPictureFileBytes) return PictureFileStatus::TooLarge;
        const PictureFileStatus status =
            !reading.rearranged && out.Map(fd, static_cast<size_t>(worth))
                ? PictureFileStatus::Ok
                : ReadKnownSize(fd, static_cast<size_t>(worth), out);
        // A file that changed size while it was read is no longer the one fstat described.
        if (status == PictureFileStatus::Ok && out.Size() == identity.size)
            out.SetIdentity(identity);
        return status;
    }
    const PictureFileStatus status = ReadToEnd(fd, out);
    if (status == PictureFileStatus::Ok) out.SetIdentity(identity);
    if (status == PictureFileStatus::TooLarge && identity.stream) {
        PictureFileBytes dropped;
        dropped.Swap(out);
        RememberRefusedStream(name, identity);
    }
    return status;
}

}  // namespace pic2pnm

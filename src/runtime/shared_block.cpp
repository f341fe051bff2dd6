#include "runtime/shared_block.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

namespace pic2pnm {
namespace {

// A mapping given back when its last keeper goes.
std::shared_ptr<void> KeepMapping(void* start, size_t bytes) {
    try {
        return std::shared_ptr<void>(start, [bytes](void* mapping) { ::munmap(mapping, bytes); });
    } catch (const std::bad_alloc&) {
        ::munmap(start, bytes);
        return nullptr;
    }
}

// The pages are filled in at once, in one call, rather than one fault at a time: the child
// writes every pixel, the parent reads every one.
void* MapShared(int fd, size_t bytes, uint64_t offset) {
    void* start = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd,
                         static_cast<off_t>(offset));
    return start == MAP_FAILED ? nullptr : start;
}

}  // namespace

size_t PageSize() {
    static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

bool SharedBlock::Create() {
    if (fd_ < 0) fd_ = ::memfd_create("pic2pnm-pixels", MFD_CLOEXEC);
    return fd_ >= 0;
}

SharedBlock::~SharedBlock() {
    if (fd_ >= 0) ::close(fd_);
}

std::shared_ptr<void> SharedBlock::Append(size_t bytes, uint64_t& offset) {
    const size_t page = PageSize();
    if (fd_ < 0 || bytes == 0 || bytes > SIZE_MAX - page) return nullptr;
    const uint64_t length = (bytes + page - 1) / page * page;
    if (length > static_cast<uint64_t>(INT64_MAX) - end_) return nullptr;
    const uint64_t end = end_ + length;
    int result;
    do result = ::ftruncate(fd_, static_cast<off_t>(end));
    while (result != 0 && errno == EINTR);
    if (result != 0) return nullptr;
    void* start = MapShared(fd_, static_cast<size_t>(length), end_);
    if (start == nullptr) return nullptr;
    std::shared_ptr<void> keeper = KeepMapping(start, static_cast<size_t>(length));
    if (keeper == nullptr) return nullptr;
    offset = end_;
    end_ = end;
    return keeper;
}

std::shared_ptr<void> SharedBlock::Map(uint64_t bytes) const {
    struct stat info {};
    if (fd_ < 0 || bytes == 0 || bytes > SIZE_MAX || ::fstat(fd_, &info) != 0) return nullptr;
    if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) < bytes) return nullptr;
    void* start = MapShared(fd_, static_cast<size_t>(bytes), 0);
    if (start == nullptr) return nullptr;
    return KeepMapping(start, static_cast<size_t>(bytes));
}

}  // namespace pic2pnm

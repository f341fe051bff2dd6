#include "platform/file_numbers.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/large_memory.h"
#include "platform/run_time_error.h"

namespace pic2pnm {
namespace {

// Output reaches the operating system in blocks of this size.
constexpr size_t OutputBlockSize = 256 * 1024;

struct BlockDeleter {
    void operator()(char* block) const { FreeLarge(block, OutputBlockSize); }
};

struct OpenFile {
    int fd = -1;
    bool forOutput = false;
    // Output not yet handed to the operating system; from AllocateLargeZeroed, which costs
    // one page fault where the C library's block would cost one for every 4 KiB.
    std::unique_ptr<char[], BlockDeleter> pending;
    size_t pendingLen = 0;
};

std::array<OpenFile, MaxFileNumber + 1> files;
int openCount = 0;
FileWriteObserver observer;

void CheckNumber(int32_t number) {
    if (number < 1 || number > MaxFileNumber) RaiseError(ErrorNumber::BadFileNameOrNumber);
}

// Writes all bytes, retrying after interruptions and short writes; returns 0 or errno.
int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

void WriteBlock(OpenFile& file, const char* data, size_t size) {
    if (int error = WriteAll(file.fd, data, size); error != 0) RaiseError(ErrorFromWrite(error));
}

void WritePending(OpenFile& file) {
    if (file.pendingLen == 0) return;
    WriteBlock(file, file.pending.get(), file.pendingLen);
    file.pendingLen = 0;
}

std::string PathString(std::string_view path) {
    return std::string(path);
}

void Open(int32_t number, std::string_view path, bool forOutput) {
    CheckNumber(number);
    OpenFile& file = files[static_cast<size_t>(number)];
    if (file.fd >= 0) RaiseError(ErrorNumber::FileAlreadyOpen);
    if (path.empty() || path.find('\0') != std::string_view::npos)
        RaiseError(ErrorNumber::BadFileNameOrNumber);
    std::string name = PathString(path);
    int fd;
    if (forOutput) {
        do fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) RaiseError(ErrorFromOpenForOutput(errno));
        file.pending.reset(static_cast<char*>(AllocateLargeZeroed(OutputBlockSize)));
        if (file.pending == nullptr) {
            ::close(fd);
            RaiseError(ErrorNumber::OutOfMemory);
        }
    } else {
        // Non-blocking open so that a pipe without a writer cannot hang us; reads block again.
        do fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) RaiseError(ErrorFromOpenForRead(errno));
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    file.fd = fd;
    file.forOutput = forOutput;
    file.pendingLen = 0;
    ++openCount;
}

}  // namespace

int32_t ErrorFromOpenForOutput(int osError) {
    switch (osError) {
        case ENOENT:
        case ENOTDIR: return ErrorNumber::PathNotFound;
        case EPERM:
        case ETXTBSY: return ErrorNumber::PermissionDenied;
        case ENOSPC:
        case EDQUOT: return ErrorNumber::DiskFull;
        case ENAMETOOLONG: return ErrorNumber::BadFileNameOrNumber;
        case EMFILE:
        case ENFILE: return ErrorNumber::TooManyFiles;
        default: return ErrorNumber::PathFileAccessError;  // EACCES, EISDIR, EROFS, ELOOP, ...
    }
}

int32_t ErrorFromOpenForRead(int osError) {
    switch (osError) {
        case ENOENT: return ErrorNumber::FileNotFound;
        case ENOTDIR: return ErrorNumber::PathNotFound;
        case EPERM: return ErrorNumber::PermissionDenied;
        case ENAMETOOLONG: return ErrorNumber::BadFileNameOrNumber;
        case EMFILE:
        case ENFILE: return ErrorNumber::TooManyFiles;
        default: return ErrorNumber::PathFileAccessError;
    }
}

int32_t ErrorFromWrite(int osError) {
    switch (osError) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ErrorNumber::DiskFull;
        default: return ErrorNumber::DeviceIoError;
    }
}

int32_t FreeFile() {
    for (int32_t number = 1; number <= MaxFileNumber; ++number)
        if (files[static_cast<size_t>(number)].fd < 0) return number;
    RaiseError(ErrorNumber::TooManyFiles);
}

void OpenForOutput(int32_t number, std::string_view path) {
    Open(number, path, true);
}

void OpenForBinaryRead(int32_t number, std::string_view path) {
    Open(number, path, false);
}

void WriteText(int32_t number, std::string_view text) {
    CheckNumber(number);
    OpenFile& file = files[static_cast<size_t>(number)];
    if (file.fd < 0 || !file.forOutput) RaiseError(ErrorNumber::BadFileNameOrNumber);
    if (observer) observer(number, text);
    if (text.size() > OutputBlockSize - file.pendingLen) {
        WritePending(file);
        if (text.size() >= OutputBlockSize) {
            WriteBlock(file, text.data(), text.size());
            return;
        }
    }
    std::memcpy(file.pending.get() + file.pendingLen, text.data(), text.size());
    file.pendingLen += text.size();
}

size_t ReadBytes(int32_t number, void* buffer, size_t size) {
    CheckNumber(number);
    OpenFile& file = files[static_cast<size_t>(number)];
    if (file.fd < 0 || file.forOutput) RaiseError(ErrorNumber::BadFileNameOrNumber);
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < size) {
        ssize_t n = ::read(file.fd, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseError(errno == EISDIR ? ErrorNumber::PathFileAccessError
                                       : ErrorNumber::DeviceIoError);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void CloseFile(int32_t number) {
    CheckNumber(number);
    OpenFile& file = files[static_cast<size_t>(number)];
    if (file.fd < 0) return;
    // The descriptor is given back whatever happens; the first error is reported.
    int32_t error = 0;
    if (file.forOutput && file.pendingLen > 0) {
        if (int osError = WriteAll(file.fd, file.pending.get(), file.pendingLen); osError != 0)
            error = ErrorFromWrite(osError);
    }
    if (::close(file.fd) != 0 && error == 0 && errno != EINTR && file.forOutput)
        error = ErrorFromWrite(errno);
    file.fd = -1;
    file.pending.reset();
    file.pendingLen = 0;
    --openCount;
    if (error != 0) RaiseError(error);
}

int OpenFileCount() {
    return openCount;
}

void SetFileWriteObserver(FileWriteObserver newObserver) {
    observer = std::move(newObserver);
}

}  // namespace pic2pnm

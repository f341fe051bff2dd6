#include "platform/file_numbers.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/large_memory.h"
#include "platform/posix_io.h"
#include "platform/run_time_error.h"
#include "testing/testing_hooks.h"

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
        fd = OpenForWriting(name.c_str());
        if (fd < 0) RaiseError(ErrorFromOpenForOutput(errno));
        file.pending.reset(static_cast<char*>(AllocateLargeZeroed(OutputBlockSize)));
        if (file.pending == nullptr) {
            ::close(fd);
            RaiseError(ErrorNumber::OutOfMemory);
        }
    } else {
        fd = OpenForReading(name.c_str());
        if (fd < 0) RaiseError(ErrorFromOpenForRead(errno));
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
    const ssize_t done = ReadUpTo(file.fd, buffer, size);
    if (done < 0) {
        RaiseError(errno == EISDIR ? ErrorNumber::PathFileAccessError : ErrorNumber::DeviceIoError);
    }
    return static_cast<size_t>(done);
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

#include "runtime/file_numbers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "runtime/output_blocks.h"
#include "runtime/output_target.h"
#include "runtime/posix_io.h"
#include "runtime/run_time_error.h"
#include "runtime/temporary_files.h"
#include "testing/testing_hooks.h"

namespace pic2pnm {
namespace {

struct OpenFile {
    int fd = -1;
    bool forOutput = false;
    // Output on its way to the operating system.
    std::unique_ptr<OutputBlocks> output;
    // An output opened for replacement: the temporary file written in place of `target`
    // (empty when the output is written directly), and whether it is synced at the close
    // because it replaces the file it was made from.
    std::string temporary;
    std::string target;
    bool syncAtClose = false;
};

std::array<OpenFile, MaxFileNumber + 1> files;
int openCount = 0;
FileWriteObserver observer;

void CheckNumber(int32_t number) {
    if (number < 1 || number > MaxFileNumber) RaiseError(ErrorNumber::BadFileNameOrNumber);
}

enum class OpenMode { Read, Output, Replacement };

void Open(int32_t number, std::string_view path, OpenMode mode, std::string_view source = {}) {
    CheckNumber(number);
    OpenFile& file = files[static_cast<size_t>(number)];
    if (file.fd >= 0) RaiseError(ErrorNumber::FileAlreadyOpen);
    if (path.empty() || path.find('\0') != std::string_view::npos)
        RaiseError(ErrorNumber::BadFileNameOrNumber);
    const std::string name(path);
    OutputTarget target;
    if (mode == OpenMode::Read) {
        // Non-blocking open so that a pipe without a writer cannot hang us; reads block again.
        const int fd = OpenForReading(name.c_str());
        if (fd < 0) RaiseError(ErrorFromOpenForRead(errno));
        target.fd = fd;
    } else {
        // The blocks first: a failed allocation must not leave a file emptied or created.
        try {
            file.output = std::make_unique<OutputBlocks>();
        } catch (const std::bad_alloc&) {
            RaiseError(ErrorNumber::OutOfMemory);
        }
        if (!file.output->Reserve()) {
            file.output.reset();
            RaiseError(ErrorNumber::OutOfMemory);
        }
        try {
            if (mode == OpenMode::Replacement) {
                target = OpenReplacingOutput(name, std::string(source));
            } else {
                int error = 0;
                target.fd = OpenDirectOutput(name, error);
                if (target.fd < 0) RaiseError(ErrorFromOpenForOutput(error));
                struct stat status {};
                target.regular = ::fstat(target.fd, &status) == 0 && S_ISREG(status.st_mode);
            }
        } catch (...) {
            file.output.reset();
            throw;
        }
        // A regular file takes the text as fast as the kernel copies it: a thread of its own
        // writes it while the next block is formatted. Devices, pipes and sockets are written
        // by the caller, so that nothing waits on a reader in a thread.
        file.output->Start(target.fd, target.regular);
    }
    file.fd = target.fd;
    file.forOutput = mode != OpenMode::Read;
    file.temporary = std::move(target.temporary);
    file.target = std::move(target.target);
    file.syncAtClose = mode == OpenMode::Replacement && target.replacesSource;
    ++openCount;
}

// Makes the directory entry of a renamed file durable; a failure leaves the data safe.
void SyncDirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Gives the descriptor and the blocks back and frees the number; removes the temporary file
// when there is one.
void Forget(OpenFile& file) {
    file.fd = -1;
    file.output.reset();
    if (!file.temporary.empty()) RemoveTemporary(file.temporary);
    file.temporary.clear();
    file.target.clear();
    file.syncAtClose = false;
    --openCount;
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
    Open(number, path, OpenMode::Output);
}

void OpenForReplacement(int32_t number, std::string_view path, std::string_view source) {
    Open(number, path, OpenMode::Replacement, source);
}

void OpenForBinaryRead(int32_t number, std::string_view path) {
    Open(number, path, OpenMode::Read);
}

void WriteText(int32_t number, std::string_view text) {
    CheckNumber(number);
    OpenFile& file = files[static_cast<size_t>(number)];
    if (file.fd < 0 || !file.forOutput) RaiseError(ErrorNumber::BadFileNameOrNumber);
    if (observer) observer(number, text);
    if (int error = file.output->Append(text.data(), text.size()); error != 0)
        RaiseError(ErrorFromWrite(error));
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
    // The descriptor is given back whatever happens; the first error is reported. A file
    // being replaced is renamed over its target only when every step before has succeeded.
    int32_t error = 0;
    if (file.forOutput) {
        if (int osError = file.output->Drain(); osError != 0) error = ErrorFromWrite(osError);
        // No thread writes once the descriptor is closed.
        file.output->Abandon();
    }
    if (error == 0 && file.syncAtClose && ::fsync(file.fd) != 0) error = ErrorFromWrite(errno);
    if (::close(file.fd) != 0 && error == 0 && errno != EINTR && file.forOutput)
        error = ErrorFromWrite(errno);
    if (error == 0 && !file.temporary.empty()) {
        if (int osError = RenameTemporaryOver(file.temporary, file.target); osError != 0)
            error = ErrorFromOpenForOutput(osError);
        else if (file.syncAtClose)
            SyncDirectoryOf(file.target);
        file.temporary.clear();
    }
    Forget(file);
    if (error != 0) RaiseError(error);
}

void ReleaseFile(int32_t number) noexcept {
    if (number < 1 || number > MaxFileNumber) return;
    OpenFile& file = files[static_cast<size_t>(number)];
    if (file.fd < 0) return;
    // A file written directly keeps what reached it; what is still pending follows it, so that
    // it holds the output up to the failure.
    if (file.forOutput && file.temporary.empty()) file.output->Drain();
    if (file.forOutput) file.output->Abandon();
    ::close(file.fd);
    Forget(file);
}

int OpenFileCount() {
    return openCount;
}

void SetFileWriteObserver(FileWriteObserver newObserver) {
    observer = std::move(newObserver);
}

}  // namespace pic2pnm

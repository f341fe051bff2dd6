// The run-time's numbered files: a file is opened under a free number, written or read
// through that number, and closed again.
//
// Sequential output is buffered underneath in large blocks, so that many small writes cost
// few system calls; every write error surfaces no later than the close of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace pic2pnm {

inline constexpr int32_t MaxFileNumber = 511;

// The lowest number under which no file is open (1 to 511). Raises 67 when all are taken.
int32_t FreeFile();

// Opens the path for sequential output under the number: creates the file or replaces its
// contents. Raises 52 for a number out of range, 55 when a file is open under it, and the
// mapped operating-system error when the open fails (also for a FIFO that no one reads).
void OpenForOutput(int32_t number, std::string_view path);

// Opens the path for sequential output that replaces the file only when CloseFile succeeds
// (see OpenReplacingOutput): until then the old file, if any, is untouched, and ReleaseFile
// leaves it so. Standard output, devices, pipes and sockets are written directly. When the
// output takes the place of `source` itself (by any name or link), CloseFile syncs it to the
// disk before it replaces it; other outputs are left to the kernel's write-back. Raises as
// OpenForOutput does.
void OpenForReplacement(int32_t number, std::string_view path, std::string_view source = {});

// Opens the path for reading raw bytes under the number.
void OpenForBinaryRead(int32_t number, std::string_view path);

// Writes the characters exactly as given. Raises 52 when no output file is open under the
// number, 61 when the device is full and 57 for any other write failure.
void WriteText(int32_t number, std::string_view text);

// Reads up to `size` bytes; returns how many were read (fewer only at the end of the file).
size_t ReadBytes(int32_t number, void* buffer, size_t size);

// Closes the file open under the number; writes out what is still buffered first. A file
// opened for replacement then takes the place of the file it replaces (synced first when that
// is its source); when any step fails, the temporary file is removed and the old file stays
// as it was. A valid number under which nothing is open is no error. Raises 52 for a number
// out of range.
void CloseFile(int32_t number);

// Gives up the file open under the number without finishing it, and never raises: a file
// opened for replacement leaves the old file as it was; a file written directly also gets
// what is still buffered, as far as it goes, so that it holds a prefix of the output.
void ReleaseFile(int32_t number) noexcept;

// How many numbered files are open now.
int OpenFileCount();

// The run-time error number for an operating-system error of an open for output, an open for
// reading, and a write or close.
int32_t ErrorFromOpenForOutput(int osError);
int32_t ErrorFromOpenForRead(int osError);
int32_t ErrorFromWrite(int osError);

}  // namespace pic2pnm

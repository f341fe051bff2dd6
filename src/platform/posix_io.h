// The operating-system calls of file input and output, each retried when a signal interrupts
// it, so that the callers (numbered files, picture files) hold no loops of their own.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace pic2pnm {

// Opens for reading without blocking, so that a pipe without a writer cannot hang us, then
// makes reads block again. The descriptor, or -1 with errno set.
int OpenForReading(const char* name);
// Creates or empties the file for writing. The descriptor, or -1 with errno set.
int OpenForWriting(const char* name);

// One read of at most `size` bytes: the count (0 at the end) or -1 with errno set.
ssize_t ReadOnce(int fd, void* buffer, size_t size);
// Reads until `size` bytes or the end: the count, or -1 with errno set.
ssize_t ReadUpTo(int fd, void* buffer, size_t size);
// Writes every byte, also after short writes: 0, or the errno of the failure.
int WriteAll(int fd, const void* data, size_t size);

}  // namespace pic2pnm

// The operating-system calls of file input and output, each retried when a signal interrupts
// it, so that the callers (numbered files, picture files) hold no loops of their own.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace pic2pnm {

// Opens for reading without blocking, so that a pipe without a writer cannot hang us, then
// makes reads block again. The descriptor, or -1 with errno set.
int OpenForReading(const char* name);

// One read of at most `size` bytes: the count (0 at the end) or -1 with errno set.
ssize_t ReadOnce(int fd, void* buffer, size_t size);
// Reads until `size` bytes or the end: the count, or -1 with errno set.
ssize_t ReadUpTo(int fd, void* buffer, size_t size);
// Writes every byte, also after short writes: 0, or the errno of the failure. Adds to
// `written` every byte that reached the file, also when a later part fails, so that a caller
// can go on from there and never send a byte twice.
int WriteAll(int fd, const void* data, size_t size, size_t& written);

}  // namespace pic2pnm

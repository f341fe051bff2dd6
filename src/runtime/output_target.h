// Where the bytes of an output go. A regular file (or a name with no file yet) is written as a
// temporary file beside it, which replaces it only once complete; standard output, devices,
// pipes and sockets are written directly.
#pragma once

#include <string>
#include <string_view>

namespace pic2pnm {

struct OutputTarget {
    int fd = -1;            // open for writing, blocking
    std::string temporary;  // the file fd writes, standing in for `target`; empty when direct
    std::string target;     // the file the temporary replaces
    bool regular = false;   // fd writes a regular file
    // The output takes the place of the source file itself (the file `source` names, by any
    // name or link): a crash before its data reaches the disk could lose the only copy of the
    // picture, so it is synced before it replaces the source.
    bool replacesSource = false;
};

// True when the path names the file that standard output writes (same device and inode),
// whatever the name: /dev/stdout, /proc/self/fd/1 or the file's own name.
bool NamesStandardOutput(std::string_view path);

// Opens the path for sequential output that creates the file or empties it at once. A FIFO
// that no one reads fails instead of waiting. Gives back -1 and sets `error` on failure.
int OpenDirectOutput(const std::string& path, int& error);

// Opens the path for an output that replaces the file only when it is complete:
// - standard output (NamesStandardOutput) is written through descriptor 1;
// - a symbolic link is followed to the file it names, which is the one replaced;
// - a device, FIFO or socket is written directly (a FIFO without a reader is an error);
// - a regular file or a missing one gets a temporary file beside it, with the permissions of
//   the file it replaces; when the folder allows no new file but the file itself may be
//   written, the file is emptied and written in place.
// `source` names the file the output is made from (empty for none); replacesSource says
// whether the output takes its place. Raises the run-time error of a failed open.
OutputTarget OpenReplacingOutput(const std::string& path, const std::string& source);

}  // namespace pic2pnm

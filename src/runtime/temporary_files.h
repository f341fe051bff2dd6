// Temporary files that stand in for an output until it is complete. While one exists, a
// SIGTERM, SIGINT or SIGHUP removes it before the signal ends the process, so an interrupted
// run leaves no half-written file behind. A signal the process ignored stays ignored.
#pragma once

#include <string>

namespace pic2pnm {

// Creates a new, empty file beside `target` (in the same directory, so that it can be renamed
// over it) with permissions 0666 less the umask, open for writing. Gives back the descriptor
// and sets `temporary` to its path; on failure gives back -1 and sets `error` to the errno.
int CreateTemporaryBeside(const std::string& target, std::string& temporary, int& error);

// Puts the temporary file in the place of `target` in one step (a file there is replaced, and
// removed unless other links keep it) and forgets it; a signal that arrives meanwhile takes
// effect once that is done. On failure the temporary file is removed and the errno comes back;
// 0 on success.
int RenameTemporaryOver(const std::string& temporary, const std::string& target);

// Removes the temporary file and forgets it.
void RemoveTemporary(const std::string& temporary);

// How many temporary files exist now.
int TemporaryCount();

}  // namespace pic2pnm

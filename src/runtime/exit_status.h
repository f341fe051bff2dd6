// The process exit status: 0 after a converted picture, 1 after a failure line, 2 after the
// usage line. A run that ends without saying otherwise has failed.
#pragma once

namespace pic2pnm {

inline constexpr int ExitConverted = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

void SetExitStatus(int status);
int ExitStatus();

}  // namespace pic2pnm

#include "codecs/common/codec_quiet_standard_error.h"

#include <fcntl.h>
#include <unistd.h>

namespace pic2pnm::codecs {
namespace {
bool filteredByParent = false;
}

void SetStandardErrorFilteredByParent(bool filtered) {
    filteredByParent = filtered;
}

QuietStandardError::QuietStandardError()
    : saved_(filteredByParent ? -1 : ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3)) {
    if (saved_ < 0) return;
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0) return;
    ::dup2(nowhere, STDERR_FILENO);
    ::close(nowhere);
}

QuietStandardError::~QuietStandardError() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
}

}  // namespace pic2pnm::codecs

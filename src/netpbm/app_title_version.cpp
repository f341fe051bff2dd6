#include "netpbm/app_title_version.h"

#include "runtime/format_number.h"

namespace pic2pnm {

std::string AppTitleVersion(const AppObject& app) {
    const std::string minor = FormatNumber(app.Minor, "00");
    const std::string revision = FormatNumber(app.Revision, "0000");
    const std::string major = FormatNumber(app.Major, "0");
    return App().Title + " " + major + "." + minor + "." + revision;
}

}  // namespace pic2pnm

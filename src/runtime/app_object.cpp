#include "runtime/app_object.h"

namespace pic2pnm {

AppObject& App() {
    static AppObject app{"Pelorin - Picture to text picture", "pic2pnm", 1, 0, 1};
    return app;
}

void SetAppExecutablePath(std::string_view argv0) {
    std::string_view name = argv0;
    if (auto slash = name.find_last_of('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    if (auto dot = name.find_last_of('.'); dot != std::string_view::npos && dot != 0)
        name = name.substr(0, dot);
    if (!name.empty()) App().EXEName = std::string(name);
}

}  // namespace pic2pnm

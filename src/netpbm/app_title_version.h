#pragma once

#include <string>

#include "runtime/app_object.h"

namespace pic2pnm {

// "Title major.minor.revision" with the minor number in at least two digits and the revision
// in at least four: "Pelorin - Picture to text picture 1.00.0001". The version comes from the
// object passed, the title always from the program's own application object.
std::string AppTitleVersion(const AppObject& app);

}  // namespace pic2pnm

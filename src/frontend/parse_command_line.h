#pragma once

#include "shared/convert_request.h"

namespace pic2pnm {

// Reads "(PBM|PGM|PPM) [/NoComment] InFileName OutFileName" from the argument list into the
// request; true when the arguments are one of these two forms. Keywords in any letter case.
bool ParseCommandLine(ConvertRequest& Request);

}  // namespace pic2pnm

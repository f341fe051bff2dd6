#pragma once

#include "shared/convert_request.h"

namespace pic2pnm {

// Loads the input picture, reads its pixels and writes the output file, reporting every
// failure on the console. Never lets an error out.
void ConvertPicture(const ConvertRequest& Request);

}  // namespace pic2pnm

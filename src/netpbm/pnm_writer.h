#pragma once

#include "netpbm/pixel_buffer.h"
#include "shared/convert_request.h"
#include "shared/picture_info.h"

namespace pic2pnm {

// Writes the pixels as a plain PBM, PGM or PPM file and reports on the console: "Picture
// converted: " and the output path, or "Can't write file: " and the path followed by the
// error line. Never lets an error of the conversion out.
void WritePnmFile(const ConvertRequest& Request, const PictureInfo& Info,
                  const PixelBuffer& Pixels);

}  // namespace pic2pnm

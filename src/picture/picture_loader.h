// Loads a picture file: first with the native picture loader, then, when that fails, with
// GDI+, which always gives a bitmap picture.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/native/picture_object.h"
#include "shared/picture_info.h"

namespace pic2pnm {

// Loads the file and fills Info (information gathering on). Raises the loader's errors.
PictureObject LoadPictureEx(std::string_view FileName, PictureInfo& Info, uint32_t BackColor,
                            bool ForceGdip);

// The worker: the native branch unless ForceGdip, then the GDI+ branch. With GetInfo false
// the record is left untouched.
PictureObject LoadPictureFull(std::string_view FileName, uint32_t BackColor, bool ForceGdip,
                              bool GetInfo, PictureInfo& Info);

// The message of a GDI+ status code.
std::string GdipStatusText(int32_t Status);

}  // namespace pic2pnm

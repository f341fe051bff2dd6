// Fills a PictureInfo for a picture from the native loader or for an image opened by GDI+.
#pragma once

#include <string_view>

#include "imaging/gdiplus/gdiplus.h"
#include "imaging/native/picture_object.h"
#include "shared/picture_info.h"

namespace pic2pnm {

// Dispatches on the picture type, then sets FormatName. Nothing that fails inside reaches the
// caller: when it returns, no error is pending.
void GetPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view FileName);

void GetBitmapPictureInfo(const PictureObject& Picture, PictureInfo& Info,
                          std::string_view FileName);
void GetWmfPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view FileName);
void GetIconPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view FileName);
void GetEmfPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view FileName);
void GetOtherPictureInfo(const PictureObject& Picture, PictureInfo& Info,
                         std::string_view FileName);

// What GDI+ says of the image. GDI+ statuses are not looked at; a failing support call raises.
void GetGdipImageInfo(GpImage Image, PictureInfo& Info);

}  // namespace pic2pnm

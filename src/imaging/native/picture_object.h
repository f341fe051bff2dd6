// The platform's picture object: a picture type, the native handle behind it and its size in
// HIMETRIC units (0.01 mm). It owns the handle and frees it when it goes.
#pragma once

#include <cstdint>

#include "imaging/gdi/win32_types.h"

namespace pic2pnm {

enum PictureType : int16_t {
    PICTYPE_NONE = 0,
    PICTYPE_BITMAP = 1,
    PICTYPE_METAFILE = 2,
    PICTYPE_ICON = 3,
    PICTYPE_ENHMETAFILE = 4,
};

// Screen pixels (96 per inch) to HIMETRIC, rounded to nearest.
int32_t PixelsToHimetric(int32_t pixels);

class PictureObject {
  public:
    PictureObject() = default;  // an empty picture (type 0, no handle)
    PictureObject(int16_t type, HANDLE32 handle, int32_t widthHimetric, int32_t heightHimetric)
        : type_(type), handle_(handle), width_(widthHimetric), height_(heightHimetric) {}
    ~PictureObject();
    PictureObject(PictureObject&& other) noexcept;
    PictureObject& operator=(PictureObject&& other) noexcept;
    PictureObject(const PictureObject&) = delete;
    PictureObject& operator=(const PictureObject&) = delete;

    int16_t Type() const { return type_; }
    HANDLE32 Handle() const { return handle_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    // Frees the handle; the picture becomes empty.
    void Release();

  private:
    int16_t type_ = PICTYPE_NONE;
    HANDLE32 handle_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace pic2pnm

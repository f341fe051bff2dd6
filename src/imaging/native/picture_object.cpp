#include "imaging/native/picture_object.h"

#include <cmath>
#include <utility>

#include "imaging/gdi/gdi.h"

namespace pic2pnm {

int32_t PixelsToHimetric(int32_t pixels) {
    return static_cast<int32_t>(std::lround(static_cast<double>(pixels) * 2540.0 / 96.0));
}

PictureObject::~PictureObject() {
    Release();
}

PictureObject::PictureObject(PictureObject&& other) noexcept
    : type_(std::exchange(other.type_, PICTYPE_NONE)),
      handle_(std::exchange(other.handle_, 0)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

PictureObject& PictureObject::operator=(PictureObject&& other) noexcept {
    if (this != &other) {
        Release();
        type_ = std::exchange(other.type_, PICTYPE_NONE);
        handle_ = std::exchange(other.handle_, 0);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

void PictureObject::Release() {
    if (handle_ != 0) {
        switch (type_) {
            case PICTYPE_BITMAP: DeleteObject(handle_); break;
            case PICTYPE_METAFILE: DeleteMetaFile(handle_); break;
            case PICTYPE_ICON: DestroyIcon(handle_); break;
            case PICTYPE_ENHMETAFILE: DeleteEnhMetaFile(handle_); break;
            default: break;
        }
    }
    type_ = PICTYPE_NONE;
    handle_ = 0;
    width_ = 0;
    height_ = 0;
}

}  // namespace pic2pnm

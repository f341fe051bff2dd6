#include "imaging/gdiplus/gdiplus_images.h"

#include <new>
#include <unordered_map>
#include <utility>

namespace pic2pnm {
namespace {

class ImageTable {
  public:
    GpImage Add(GdipImageRecord image) noexcept {
        try {
            const GpImage handle = next_++;
            images_.emplace(handle, std::move(image));
            return handle;
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    const GdipImageRecord* Find(GpImage handle) const {
        auto it = images_.find(handle);
        return it == images_.end() ? nullptr : &it->second;
    }
    bool Remove(GpImage handle) { return images_.erase(handle) != 0; }
    size_t Size() const { return images_.size(); }

  private:
    std::unordered_map<GpImage, GdipImageRecord> images_;
    // Far from GDI's handle numbers, so that a GDI handle passed by mistake finds nothing.
    GpImage next_ = 0x47500001;
};

ImageTable& Images() {
    static ImageTable table;
    return table;
}

}  // namespace

void MakeOpaque(PixelStore& pixels) {
    uint32_t* data = pixels.Data();
    const size_t count = pixels.PixelCount();
    for (size_t i = 0; i < count; ++i) data[i] |= 0xFF000000u;
}

GpImage AddGdipImage(GdipImageRecord image) noexcept {
    if (!image.pixels) return 0;
    // A picture without alpha leaves bits 24-31 undefined. Setting them now, while nothing else
    // holds the store, lets GDI bitmaps share the store and still read back as opaque.
    if (!image.hasAlpha && !image.pixels->IsInChild()) MakeOpaque(*image.pixels);
    return Images().Add(std::move(image));
}

const GdipImageRecord* FindGdipImage(GpImage image) {
    return Images().Find(image);
}

bool RemoveGdipImage(GpImage image) {
    return Images().Remove(image);
}

size_t CountGdipImages() {
    return Images().Size();
}

}  // namespace pic2pnm

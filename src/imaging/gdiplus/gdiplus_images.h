// The images behind GDI+ image handles: what a decoded picture keeps once the file is gone.
//
// Handles are never reused within a run, so a disposed or made-up handle finds nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codecs/common/pixel_store.h"
#include "imaging/gdi/win32_types.h"
#include "imaging/gdiplus/gdiplus.h"

namespace pic2pnm {

struct GdipImageRecord {
    int32_t width = 0;
    int32_t height = 0;
    float dpiX = 96;
    float dpiY = 96;
    GUID rawFormat{};
    PixelFormatCode pixelFormat = 0;
    bool hasAlpha = false;
    bool premultipliedAlpha = false;
    // Never written after the image is made, so GDI bitmaps may share it.
    std::shared_ptr<PixelStore> pixels;
};

// Takes the record into the table; 0 when memory runs out or it has no pixels. The pixels of
// an image without alpha are made opaque (bits 24-31 set) first; those still in a decode child
// were made opaque there.
GpImage AddGdipImage(GdipImageRecord image) noexcept;

// Sets bits 24-31 of every pixel.
void MakeOpaque(PixelStore& pixels);
// The image of a live handle, null otherwise.
const GdipImageRecord* FindGdipImage(GpImage image);
// Frees the image of a live handle; false when there is none.
bool RemoveGdipImage(GpImage image);
size_t CountGdipImages();

}  // namespace pic2pnm

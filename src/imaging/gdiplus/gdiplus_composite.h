// Pictures with alpha composited over a background colour, as GDI+ does when it hands out a
// GDI bitmap. Pixels are 0xAARRGGBB; every result pixel has alpha 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codecs/common/pixel_arithmetic.h"
#include "codecs/common/pixel_store.h"
#include "imaging/gdiplus/gdiplus.h"
#include "imaging/gdiplus/gdiplus_images.h"

namespace pic2pnm {

using codecs::DivideBy255Rounded;

// Straight alpha a: each channel becomes (colour * a + background * (255 - a) + 127) / 255.
// Only bits 0-23 of `backgroundRgb` are used.
void CompositeStraightAlpha(const uint32_t* source, uint32_t* destination, size_t count,
                            uint32_t backgroundRgb);

// Colours already multiplied by alpha a: each channel becomes
// colour + (background * (255 - a) + 127) / 255, at most 255.
void CompositePremultipliedAlpha(const uint32_t* source, uint32_t* destination, size_t count,
                                 uint32_t backgroundRgb);

// The image's pixels over the background's red, green and blue; its alpha is ignored, as an
// opaque GDI bitmap has nothing for it to show through to. An image without alpha gives its
// own store (already opaque, never written again); one with alpha a new store. Null when
// memory runs out.
std::shared_ptr<PixelStore> PixelsOverBackground(const GdipImageRecord& image, ARGB background);

}  // namespace pic2pnm

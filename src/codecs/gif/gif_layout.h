// Where the first image of a GIF lands on the picture we hand out.
#pragma once

#include <cstdint>

namespace pic2pnm::codecs {

struct GifPlacement {
    int32_t canvasWidth = 0;
    int32_t canvasHeight = 0;
    int32_t left = 0;  // of the image on the canvas
    int32_t top = 0;
    // False when the image leaves part of the canvas uncovered (transparent there).
    bool coversCanvas = false;
};

// The canvas is the logical screen, grown to the right and downwards when the image
// reaches beyond it (browsers do the same, so no pixel of the image is lost). A screen with
// a side of 0 states nothing: the canvas is then the image itself, its offset ignored.
// Every argument is a 16-bit field of the file, so no sum can overflow.
GifPlacement PlaceFirstImage(int32_t screenWidth, int32_t screenHeight, int32_t left, int32_t top,
                             int32_t width, int32_t height);

}  // namespace pic2pnm::codecs

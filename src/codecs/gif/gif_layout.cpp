#include "codecs/gif/gif_layout.h"

#include <algorithm>

namespace pic2pnm::codecs {

GifPlacement PlaceFirstImage(int32_t screenWidth, int32_t screenHeight, int32_t left, int32_t top,
                             int32_t width, int32_t height) {
    GifPlacement placement;
    if (screenWidth <= 0 || screenHeight <= 0) {
        placement.canvasWidth = width;
        placement.canvasHeight = height;
        placement.coversCanvas = true;
        return placement;
    }
    placement.left = left;
    placement.top = top;
    placement.canvasWidth = std::max(screenWidth, left + width);
    placement.canvasHeight = std::max(screenHeight, top + height);
    placement.coversCanvas =
        left == 0 && top == 0 && width == placement.canvasWidth && height == placement.canvasHeight;
    return placement;
}

}  // namespace pic2pnm::codecs

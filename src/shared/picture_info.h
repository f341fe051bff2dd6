// What is known of a loaded picture.
#pragma once

#include <cstdint>
#include <string>

namespace pic2pnm {

struct PictureInfo {
    int32_t Width = 0;
    int32_t Height = 0;
    float HorizontalResolution = 0;  // dots per inch; 0 from the native loader
    float VerticalResolution = 0;
    int32_t FormatType = 0;  // see FormatName
    std::string FormatName;
    int32_t BitsPerPixel = 0;
};

}  // namespace pic2pnm

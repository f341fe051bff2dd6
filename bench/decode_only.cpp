// Loads one picture the way the program does and copies its pixels out, then exits without
// writing anything: timed beside the program, it shows what the text output costs.
//
// Usage: pic2pnm_decode_only InFileName
// Prints the picture's width and height; exit status 0, or 1 with the error on stderr.
#include <cstdio>

#include "imaging/native/picture_object.h"
#include "netpbm/get_bitmap_pixels.h"
#include "netpbm/pixel_buffer.h"
#include "picture/picture_loader.h"
#include "runtime/app_object.h"
#include "runtime/run_time_error.h"
#include "shared/picture_info.h"

int main(int argc, char** argv) {
    using namespace pic2pnm;
    if (argc != 2) {
        std::fprintf(stderr, "usage: pic2pnm_decode_only InFileName\n");
        return 2;
    }
    SetAppExecutablePath(argv[0]);
    try {
        PictureInfo info;
        PictureObject picture = LoadPictureEx(argv[1], info, 0, false);
        if (picture.Type() != PICTYPE_BITMAP) {
            std::fprintf(stderr, "not a bitmap picture: %s\n", argv[1]);
            return 1;
        }
        PixelBuffer pixels;
        GetBitmapPixels(picture, info, pixels);
        std::printf("%d %d\n", info.Width, info.Height);
    } catch (const RuntimeError& error) {
        std::fprintf(stderr, "error %d: %s\n", error.Number(), error.what());
        return 1;
    }
    return 0;
}

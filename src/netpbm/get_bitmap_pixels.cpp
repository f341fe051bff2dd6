#include "netpbm/get_bitmap_pixels.h"

#include <cmath>

#include "imaging/gdi/gdi.h"
#include "runtime/run_time_error.h"

namespace pic2pnm {
namespace {

int32_t CheckedMul(int32_t a, int32_t b) {
    int32_t result;
    if (__builtin_mul_overflow(a, b, &result)) RaiseError(ErrorNumber::Overflow);
    return result;
}

int32_t CheckedAdd(int32_t a, int32_t b) {
    int32_t result;
    if (__builtin_add_overflow(a, b, &result)) RaiseError(ErrorNumber::Overflow);
    return result;
}

}  // namespace

void GetBitmapPixels(const PictureObject& Picture, const PictureInfo& Info, PixelBuffer& Pixels) {
    // Rows of 32-bit pixels are always a whole number of 32-bit words: Stride is 4 * Width.
    const int32_t Stride = CheckedMul(CheckedAdd(CheckedMul(Info.Width, 32), 31) / 32, 4);
    const int32_t SizeImage = CheckedMul(Stride, Info.Height);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = Info.Width;
    header.biHeight = Info.Height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<uint32_t>(SizeImage);

    // One or two spare elements: the upper bound is N + 0.5 rounded half to even. Intended,
    // not an off-by-one: the buffer's size is part of what callers rely on; the spare
    // elements stay 0 and are never read.
    const double upperBound = std::nearbyint(static_cast<double>(SizeImage) / 4.0 + 0.5);
    Pixels.ReDim(static_cast<int32_t>(upperBound));

    const HDC dc = GetDC(0);
    if (dc == 0) RaiseError(ErrorNumber::PictureOperation, "Can't get screen DC");
    const HBITMAP bitmap = Picture.Handle();
    const int lines = GetDIBits(dc, bitmap, 0, static_cast<uint32_t>(Info.Height), Pixels.Data(),
                                &header, DIB_RGB_COLORS);
    if (lines == 0) {
        ReleaseDC(0, dc);
        RaiseError(ErrorNumber::PictureOperation, "GetDIBits() failed");
    }
    ReleaseDC(0, dc);
}

}  // namespace pic2pnm

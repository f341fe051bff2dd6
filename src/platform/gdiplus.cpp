#include "platform/gdiplus.h"

namespace pic2pnm {

GpStatus GdiplusStartup(ULONG_PTR*, const GdiplusStartupInput*, void*) { return NotImplemented; }
void GdiplusShutdown(ULONG_PTR) {}
GpStatus GdipCreateBitmapFromFile(const char16_t*, GpBitmap*) { return NotImplemented; }
GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap, HBITMAP*, ARGB) { return NotImplemented; }
GpStatus GdipDisposeImage(GpImage) { return NotImplemented; }
GpStatus GdipGetImageWidth(GpImage, uint32_t*) { return NotImplemented; }
GpStatus GdipGetImageHeight(GpImage, uint32_t*) { return NotImplemented; }
GpStatus GdipGetImageHorizontalResolution(GpImage, float*) { return NotImplemented; }
GpStatus GdipGetImageVerticalResolution(GpImage, float*) { return NotImplemented; }
GpStatus GdipGetImageRawFormat(GpImage, GUID*) { return NotImplemented; }
GpStatus GdipGetImagePixelFormat(GpImage, PixelFormatCode*) { return NotImplemented; }
int StringFromGUID2(const GUID&, char16_t*, int) { return 0; }
size_t LiveGdipImages() { return 0; }
size_t GdiplusStartupCount() { return 0; }

}  // namespace pic2pnm

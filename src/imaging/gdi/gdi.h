// A stand-in for the GDI calls the program makes: bitmaps, icons and metafiles behind opaque
// handles, the screen device context and the device-independent copy of a bitmap's pixels.
//
// A handle names one live object; a deleted, unknown or wrongly typed handle makes a call
// fail the way GDI fails (a zero result), never a crash.
#pragma once

#include <cstddef>
#include <memory>

#include "codecs/common/pixel_store.h"
#include "imaging/gdi/win32_types.h"

namespace pic2pnm {

// --- The calls the program makes ---

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Copies `lines` rows from `startScan` of the bitmap as 32-bit BI_RGB pixels; rows bottom-up
// when biHeight is positive, top-down when negative. Returns the number of rows copied, or 0
// for a bad device context or bitmap, zero lines, a null buffer or a header it does not
// support (only 32-bit BI_RGB of the bitmap's own width and height).
int GetDIBits(HDC dc, HBITMAP bitmap, uint32_t startScan, uint32_t lines, void* bits,
              BITMAPINFOHEADER* header, uint32_t usage);

// Fills a BITMAP for a bitmap handle; returns the bytes stored, 0 on failure.
int GetObjectA(HANDLE32 object, int size, void* buffer);

// Makes two new bitmaps (mask and colour; no colour bitmap for a monochrome icon), which the
// caller deletes. Returns nonzero on success.
int32_t GetIconInfo(HICON icon, ICONINFO* info);

// Frees a bitmap. Returns nonzero on success.
int32_t DeleteObject(HANDLE32 object);

// Copies up to `size` bytes of the header; returns the bytes copied, 0 on failure.
uint32_t GetEnhMetaFileHeader(HENHMETAFILE metafile, uint32_t size, ENHMETAHEADER* header);

// --- Making and freeing the objects (what the picture loaders do) ---

// A bitmap of the pixels (bits 24-31 are not part of the bitmap's colours). bitsPerPixel is
// what GetObjectA reports. Returns 0 when out of memory.
HBITMAP CreateBitmapObject(std::shared_ptr<PixelStore> pixels, uint16_t bitsPerPixel);

// An icon or cursor that owns its two bitmaps (color may be 0 for a monochrome icon).
HICON CreateIconObject(bool isIcon, uint32_t hotspotX, uint32_t hotspotY, HBITMAP mask,
                       HBITMAP color);
int32_t DestroyIcon(HICON icon);

// A placeable metafile, known by its header only.
HMETAFILE CreateMetaFileObject();
int32_t DeleteMetaFile(HMETAFILE metafile);

HENHMETAFILE CreateEnhMetaFileObject(const ENHMETAHEADER& header);
int32_t DeleteEnhMetaFile(HENHMETAFILE metafile);

// The pixels of a bitmap, for code that stands in for the platform (null for a bad handle).
std::shared_ptr<PixelStore> BitmapPixels(HBITMAP bitmap);

// How many GDI objects (bitmaps, icons, metafiles) and device contexts are alive.
size_t LiveGdiObjects();

}  // namespace pic2pnm

// A stand-in for the flat GDI+ API the picture loader uses: start-up and shut-down, a bitmap
// image decoded from a file by its content, the image's properties, and a GDI bitmap made
// from it over a background colour.
//
// Every call checks its handles (a bad one is InvalidParameter) and fails with
// GdiplusNotInitialized while GDI+ is not started.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/gdi/win32_types.h"

namespace pic2pnm {

enum GpStatus : int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

struct GdiplusStartupInput {
    uint32_t GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    int32_t SuppressBackgroundThread = 0;
    int32_t SuppressExternalCodecs = 0;
};

using ULONG_PTR = uintptr_t;
using GpImage = uintptr_t;  // an opaque image handle; 0 is no image
using GpBitmap = GpImage;
using ARGB = uint32_t;
using PixelFormatCode = int32_t;

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void GdiplusShutdown(ULONG_PTR token);

// Decodes the file named by a NUL-terminated UTF-16 path (see utf16_path.h) by its content.
GpStatus GdipCreateBitmapFromFile(const char16_t* filename, GpBitmap* bitmap);
// Makes a GDI bitmap of the image composited over the background colour (ARGB).
GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap bitmap, HBITMAP* hbmReturn, ARGB background);
GpStatus GdipDisposeImage(GpImage image);

GpStatus GdipGetImageWidth(GpImage image, uint32_t* width);
GpStatus GdipGetImageHeight(GpImage image, uint32_t* height);
GpStatus GdipGetImageHorizontalResolution(GpImage image, float* resolution);
GpStatus GdipGetImageVerticalResolution(GpImage image, float* resolution);
GpStatus GdipGetImageRawFormat(GpImage image, GUID* format);
GpStatus GdipGetImagePixelFormat(GpImage image, PixelFormatCode* format);

// The GUID in registry form ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case) with its
// NUL; returns the characters stored including the NUL, 0 when `capacity` is too small.
int StringFromGUID2(const GUID& guid, char16_t* buffer, int capacity);

// How many GDI+ images are alive and how many start-up tokens are outstanding.
size_t LiveGdipImages();
size_t GdiplusStartupCount();

}  // namespace pic2pnm

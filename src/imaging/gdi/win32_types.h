// Records of the platform's picture services, with their documented field names and the
// layout of the 32-bit platform the program was designed for.
#pragma once

#include <cstdint>

namespace pic2pnm {

using HANDLE32 = uint32_t;  // an opaque GDI handle; 0 is no handle
using HBITMAP = HANDLE32;
using HICON = HANDLE32;
using HMETAFILE = HANDLE32;
using HENHMETAFILE = HANDLE32;
using HDC = HANDLE32;
using HWND = HANDLE32;

struct BITMAP {
    int32_t bmType;
    int32_t bmWidth;
    int32_t bmHeight;
    int32_t bmWidthBytes;
    uint16_t bmPlanes;
    uint16_t bmBitsPixel;
    uint32_t bmBits;  // a 32-bit pointer on the designed platform; always 0 here
};
static_assert(sizeof(BITMAP) == 24);

struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t DIB_RGB_COLORS = 0;

struct ICONINFO {
    int32_t fIcon;  // nonzero for an icon, zero for a cursor
    uint32_t xHotspot;
    uint32_t yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;  // 0 for a monochrome icon
};

struct RECTL {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct SIZEL {
    int32_t cx;
    int32_t cy;
};

// The enhanced-metafile header up to and including bOpenGL (100 bytes).
struct ENHMETAHEADER {
    uint32_t iType;
    uint32_t nSize;
    RECTL rclBounds;  // inclusive bounds in device units
    RECTL rclFrame;   // inclusive frame in 0.01 mm
    uint32_t dSignature;
    uint32_t nVersion;
    uint32_t nBytes;
    uint32_t nRecords;
    uint16_t nHandles;
    uint16_t sReserved;
    uint32_t nDescription;
    uint32_t offDescription;
    uint32_t nPalEntries;
    SIZEL szlDevice;
    SIZEL szlMillimeters;
    uint32_t cbPixelFormat;
    uint32_t offPixelFormat;
    uint32_t bOpenGL;
};
static_assert(sizeof(ENHMETAHEADER) == 100);

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

}  // namespace pic2pnm

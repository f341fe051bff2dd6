// The helper functions of the support libraries. Each one either gives its result or raises
// its failure as an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "imaging/gdi/win32_types.h"
#include "imaging/native/picture_object.h"

namespace pic2pnm {

// Start-up services. Linux has no development environment, no application path registry,
// no common controls and no hidden main window: these do nothing, and esIsInIDE is false.
int32_t esRegisterAppPath();
void InitCommonControls();
bool esIsInIDE();
HWND esGetThunderMainHandle();
void psSetWindowResIconAll(HWND window, const std::string& iconGroupName);

// An error number as display text: decimal when 0 or more, "0x" and eight upper-case
// hexadecimal digits when negative (0x80040000).
std::string psGetErrorNumber(int32_t number);

// True when the path names something that exists and is not a directory.
bool esIsFileExist(std::string_view path);

// A bitmap picture that takes over the bitmap handle.
PictureObject psGetBitmapFromHandle(HBITMAP bitmap);

// HIMETRIC lengths to screen pixels at 96 dots per inch, rounded to nearest.
int32_t esScreenHimetricToPixelsX(float himetric);
int32_t esScreenHimetricToPixelsY(float himetric);

struct NewRect {
    int32_t Left;
    int32_t Top;
    int32_t Width;
    int32_t Height;
};
// Left, top, width (right - left) and height (bottom - top); raises 6 when they overflow.
NewRect esRectToNewRect(const RECTL& rect);

// The 8-bit string at the address, up to its NUL.
std::string psGetStringFromPointerA(const char* text);

// Words and bytes of a 32-bit value. These run once per pixel, so they are inline.
inline int32_t psHiWord(int32_t value) {
    return static_cast<int32_t>((static_cast<uint32_t>(value) >> 16) & 0xFFFFu);
}
inline int32_t psLoWord(int32_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFFFu);
}
inline uint8_t psHiByte(int32_t value) {
    return static_cast<uint8_t>((static_cast<uint32_t>(value) >> 8) & 0xFFu);
}
inline uint8_t psLoByte(int32_t value) {
    return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu);
}

}  // namespace pic2pnm

#include "support/support_library.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "imaging/gdi/gdi.h"
#include "runtime/run_time_error.h"

namespace pic2pnm {

int32_t esRegisterAppPath() {
    return 0;
}
void InitCommonControls() {}
bool esIsInIDE() {
    return false;
}
HWND esGetThunderMainHandle() {
    return 0;
}
void psSetWindowResIconAll(HWND, const std::string&) {}

std::string psGetErrorNumber(int32_t number) {
    char text[16];
    if (number >= 0)
        std::snprintf(text, sizeof text, "%d", number);
    else
        std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(number));
    return text;
}

bool esIsFileExist(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    struct stat info {};
    return ::stat(std::string(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

PictureObject psGetBitmapFromHandle(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == 0 || GetObjectA(bitmap, sizeof info, &info) == 0)
        RaiseError(ErrorNumber::InvalidCall);
    return PictureObject(PICTYPE_BITMAP, bitmap, PixelsToHimetric(info.bmWidth),
                         PixelsToHimetric(info.bmHeight));
}

namespace {
int32_t HimetricToPixels(float himetric) {
    const double pixels = std::nearbyint(static_cast<double>(himetric) * 96.0 / 2540.0);
    if (!(pixels >= INT32_MIN && pixels <= INT32_MAX)) RaiseError(ErrorNumber::Overflow);
    return static_cast<int32_t>(std::lround(pixels));
}
}  // namespace

int32_t esScreenHimetricToPixelsX(float himetric) {
    return HimetricToPixels(himetric);
}
int32_t esScreenHimetricToPixelsY(float himetric) {
    return HimetricToPixels(himetric);
}

NewRect esRectToNewRect(const RECTL& rect) {
    int32_t width;
    int32_t height;
    if (__builtin_sub_overflow(rect.right, rect.left, &width) ||
        __builtin_sub_overflow(rect.bottom, rect.top, &height))
        RaiseError(ErrorNumber::Overflow);
    return NewRect{rect.left, rect.top, width, height};
}

std::string psGetStringFromPointerA(const char* text) {
    if (text == nullptr) RaiseError(ErrorNumber::InvalidCall);
    return std::string(text);
}

}  // namespace pic2pnm

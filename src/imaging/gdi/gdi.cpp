#include "imaging/gdi/gdi.h"

#include <algorithm>

#include "testing/testing_hooks.h"

#include <cstring>
#include <new>
#include <unordered_map>
#include <variant>

namespace pic2pnm {
namespace {

struct BitmapObject {
    std::shared_ptr<PixelStore> pixels;
    uint16_t bitsPerPixel;
};

struct IconObject {
    bool isIcon;
    uint32_t hotspotX;
    uint32_t hotspotY;
    HBITMAP mask;
    HBITMAP color;
};

struct MetaFileObject {};

struct EnhMetaFileObject {
    ENHMETAHEADER header;
};

struct DeviceContext {};

using GdiObject =
    std::variant<BitmapObject, IconObject, MetaFileObject, EnhMetaFileObject, DeviceContext>;

class HandleTable {
  public:
    HANDLE32 Add(GdiObject object) noexcept {
        try {
            // Handles are never reused within a run, so a stale handle finds nothing.
            HANDLE32 handle = next_++;
            objects_.emplace(handle, std::move(object));
            return handle;
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    template <class T>
    T* Find(HANDLE32 handle) {
        auto it = objects_.find(handle);
        return it == objects_.end() ? nullptr : std::get_if<T>(&it->second);
    }
    template <class T>
    bool Remove(HANDLE32 handle) {
        if (Find<T>(handle) == nullptr) return false;
        objects_.erase(handle);
        return true;
    }
    size_t Size() const { return objects_.size(); }

  private:
    std::unordered_map<HANDLE32, GdiObject> objects_;
    HANDLE32 next_ = 0x00010000;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

bool screenDcUnavailable = false;

HBITMAP CopyBitmap(HBITMAP source) {
    if (source == 0) return 0;
    BitmapObject* bitmap = Handles().Find<BitmapObject>(source);
    if (bitmap == nullptr) return 0;
    return Handles().Add(BitmapObject{bitmap->pixels, bitmap->bitsPerPixel});
}

}  // namespace

HDC GetDC(HWND window) {
    if (window != 0 || screenDcUnavailable) return 0;
    return Handles().Add(DeviceContext{});
}

int ReleaseDC(HWND window, HDC dc) {
    if (window != 0) return 0;
    return Handles().Remove<DeviceContext>(dc) ? 1 : 0;
}

int GetDIBits(HDC dc, HBITMAP bitmap, uint32_t startScan, uint32_t lines, void* bits,
              BITMAPINFOHEADER* header, uint32_t usage) {
    if (Handles().Find<DeviceContext>(dc) == nullptr) return 0;
    BitmapObject* object = Handles().Find<BitmapObject>(bitmap);
    if (object == nullptr || header == nullptr || bits == nullptr || lines == 0) return 0;
    const PixelStore& pixels = *object->pixels;
    if (usage != DIB_RGB_COLORS || header->biSize < sizeof(BITMAPINFOHEADER) ||
        header->biPlanes != 1 || header->biBitCount != 32 || header->biCompression != BI_RGB ||
        header->biWidth != pixels.Width())
        return 0;
    const bool topDown = header->biHeight < 0;
    const int64_t height = topDown ? -static_cast<int64_t>(header->biHeight) : header->biHeight;
    if (height != pixels.Height() || startScan >= static_cast<uint64_t>(height)) return 0;
    const uint32_t count =
        static_cast<uint32_t>(std::min<uint64_t>(lines, static_cast<uint64_t>(height) - startScan));
    const size_t rowPixels = static_cast<size_t>(pixels.Width());
    auto* out = static_cast<uint32_t*>(bits);
    if (!topDown) {
        // Our storage is bottom-up already: one copy, straight from a decode child's memory
        // when the pixels are still there.
        if (!pixels.CopyRowsFromBottom(static_cast<int32_t>(startScan), static_cast<int32_t>(count),
                                       out))
            return 0;
    } else {
        // Scan line numbers count from the bottom also for a top-down buffer; the buffer
        // starts with the highest of the copied lines.
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t scan = startScan + count - 1 - i;
            if (!pixels.CopyRowsFromBottom(static_cast<int32_t>(scan), 1, out + i * rowPixels))
                return 0;
        }
    }
    return static_cast<int>(count);
}

int GetObjectA(HANDLE32 object, int size, void* buffer) {
    BitmapObject* bitmap = Handles().Find<BitmapObject>(object);
    if (bitmap == nullptr || buffer == nullptr || size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP info{};
    info.bmType = 0;
    info.bmWidth = bitmap->pixels->Width();
    info.bmHeight = bitmap->pixels->Height();
    // In 64 bits: a wide picture of 32 bits a pixel passes the 32-bit range in the product.
    const int64_t rowBits = int64_t{info.bmWidth} * bitmap->bitsPerPixel;
    info.bmWidthBytes = static_cast<int32_t>(std::min<int64_t>((rowBits + 15) / 16 * 2, INT32_MAX));
    info.bmPlanes = 1;
    info.bmBitsPixel = bitmap->bitsPerPixel;
    info.bmBits = 0;
    std::memcpy(buffer, &info, sizeof info);
    return static_cast<int>(sizeof info);
}

int32_t GetIconInfo(HICON icon, ICONINFO* info) {
    IconObject* object = Handles().Find<IconObject>(icon);
    if (object == nullptr || info == nullptr) return 0;
    HBITMAP mask = CopyBitmap(object->mask);
    if (mask == 0) return 0;
    HBITMAP color = 0;
    if (object->color != 0) {
        color = CopyBitmap(object->color);
        if (color == 0) {
            DeleteObject(mask);
            return 0;
        }
    }
    *info = ICONINFO{object->isIcon ? 1 : 0, object->hotspotX, object->hotspotY, mask, color};
    return 1;
}

int32_t DeleteObject(HANDLE32 object) {
    return Handles().Remove<BitmapObject>(object) ? 1 : 0;
}

uint32_t GetEnhMetaFileHeader(HENHMETAFILE metafile, uint32_t size, ENHMETAHEADER* header) {
    EnhMetaFileObject* object = Handles().Find<EnhMetaFileObject>(metafile);
    if (object == nullptr || header == nullptr || size == 0) return 0;
    const uint32_t count = std::min<uint32_t>(size, sizeof(ENHMETAHEADER));
    std::memcpy(header, &object->header, count);
    return count;
}

HBITMAP CreateBitmapObject(std::shared_ptr<PixelStore> pixels, uint16_t bitsPerPixel) {
    if (!pixels) return 0;
    return Handles().Add(BitmapObject{std::move(pixels), bitsPerPixel});
}

HICON CreateIconObject(bool isIcon, uint32_t hotspotX, uint32_t hotspotY, HBITMAP mask,
                       HBITMAP color) {
    if (Handles().Find<BitmapObject>(mask) == nullptr) return 0;
    if (color != 0 && Handles().Find<BitmapObject>(color) == nullptr) return 0;
    return Handles().Add(IconObject{isIcon, hotspotX, hotspotY, mask, color});
}

int32_t DestroyIcon(HICON icon) {
    IconObject* object = Handles().Find<IconObject>(icon);
    if (object == nullptr) return 0;
    DeleteObject(object->mask);
    if (object->color != 0) DeleteObject(object->color);
    Handles().Remove<IconObject>(icon);
    return 1;
}

HMETAFILE CreateMetaFileObject() {
    return Handles().Add(MetaFileObject{});
}

int32_t DeleteMetaFile(HMETAFILE metafile) {
    return Handles().Remove<MetaFileObject>(metafile) ? 1 : 0;
}

HENHMETAFILE CreateEnhMetaFileObject(const ENHMETAHEADER& header) {
    return Handles().Add(EnhMetaFileObject{header});
}

int32_t DeleteEnhMetaFile(HENHMETAFILE metafile) {
    return Handles().Remove<EnhMetaFileObject>(metafile) ? 1 : 0;
}

std::shared_ptr<PixelStore> BitmapPixels(HBITMAP bitmap) {
    BitmapObject* object = Handles().Find<BitmapObject>(bitmap);
    return object == nullptr ? nullptr : object->pixels;
}

size_t LiveGdiObjects() {
    return Handles().Size();
}

void SetScreenDcUnavailableForTesting(bool unavailable) {
    screenDcUnavailable = unavailable;
}

}  // namespace pic2pnm

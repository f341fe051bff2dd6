#include "platform/pixel_store.h"

#include <cstdlib>
#include <new>

namespace pic2pnm {

namespace {
int64_t pixelCountCap = 0;
}

void SetPixelCountCapForFuzzing(int64_t maxPixels) { pixelCountCap = maxPixels; }

bool IsPictureSizeSupported(int64_t width, int64_t height) {
    if (width < 1 || height < 1) return false;
    constexpr int64_t maxBytes = INT32_MAX;
    if (width > maxBytes / 4) return false;
    if (height > maxBytes / (4 * width)) return false;
    return pixelCountCap == 0 || height <= pixelCountCap / width;
}

std::shared_ptr<PixelStore> PixelStore::Make(int32_t width, int32_t height, bool zeroed) {
    if (!IsPictureSizeSupported(width, height)) return nullptr;
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    // calloc hands out fresh zero pages for large blocks without touching them.
    void* memory = zeroed ? std::calloc(count, sizeof(uint32_t)) : std::malloc(count * sizeof(uint32_t));
    if (memory == nullptr) return nullptr;
    try {
        return std::shared_ptr<PixelStore>(new PixelStore(width, height, static_cast<uint32_t*>(memory)));
    } catch (const std::bad_alloc&) {
        std::free(memory);
        return nullptr;
    }
}

std::shared_ptr<PixelStore> PixelStore::Allocate(int32_t width, int32_t height) {
    return Make(width, height, false);
}

std::shared_ptr<PixelStore> PixelStore::AllocateZeroed(int32_t width, int32_t height) {
    return Make(width, height, true);
}

PixelStore::~PixelStore() { std::free(data_); }

}  // namespace pic2pnm

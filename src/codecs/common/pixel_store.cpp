#include "codecs/common/pixel_store.h"

#include <new>

#include "runtime/large_memory.h"
#include "testing/testing_hooks.h"

namespace pic2pnm {

namespace {
int64_t pixelCountCap = 0;
StatedSizeObserver statedSizeObserver = nullptr;
}  // namespace

void SetStatedSizeObserver(StatedSizeObserver observer) {
    statedSizeObserver = observer;
}

void StateDecodedSize(int64_t width, int64_t height) {
    if (statedSizeObserver != nullptr && width > 0 && height > 0 && width <= INT32_MAX &&
        height <= INT32_MAX)
        statedSizeObserver(width, height);
}

void SetPixelCountCapForFuzzing(int64_t maxPixels) {
    pixelCountCap = maxPixels;
}

bool IsPictureSizeSupported(int64_t width, int64_t height) {
    if (width < 1 || height < 1) return false;
    constexpr int64_t maxBytes = INT32_MAX;
    if (width > MaxPictureWidth) return false;
    if (height > maxBytes / (4 * width)) return false;
    if (pixelCountCap != 0 && height > pixelCountCap / width) return false;
    if (statedSizeObserver != nullptr) statedSizeObserver(width, height);
    return true;
}

std::shared_ptr<PixelStore> PixelStore::Allocate(int32_t width, int32_t height) {
    if (!IsPictureSizeSupported(width, height)) return nullptr;
    const size_t bytes =
        static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(uint32_t);
    void* memory = AllocateLargeZeroed(bytes);
    if (memory == nullptr) return nullptr;
    try {
        return std::shared_ptr<PixelStore>(
            new PixelStore(width, height, static_cast<uint32_t*>(memory)));
    } catch (const std::bad_alloc&) {
        FreeLarge(memory, bytes);
        return nullptr;
    }
}

PixelStore::~PixelStore() {
    FreeLarge(data_, PixelCount() * sizeof(uint32_t));
}

}  // namespace pic2pnm

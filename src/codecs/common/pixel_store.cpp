#include "codecs/common/pixel_store.h"

#include <cstring>
#include <new>
#include <span>

#include "runtime/confined_child.h"
#include "runtime/large_memory.h"

namespace pic2pnm {

namespace {
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

bool IsPictureSizeSupported(int64_t width, int64_t height) {
    if (width < 1 || height < 1) return false;
    constexpr int64_t maxBytes = INT32_MAX;
    if (width > MaxPictureWidth) return false;
    if (height > maxBytes / (4 * width)) return false;
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

std::shared_ptr<PixelStore> PixelStore::InChild(int32_t width, int32_t height,
                                                std::shared_ptr<const HeldChild> child,
                                                uint64_t address) {
    if (!IsPictureSizeSupported(width, height) || child == nullptr) return nullptr;
    try {
        std::shared_ptr<PixelStore> store(new PixelStore(width, height, nullptr));
        store->child_ = std::move(child);
        store->childAddress_ = address;
        return store;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool PixelStore::CopyRowsFromBottom(int32_t first, int32_t rows, uint32_t* out) const {
    if (first < 0 || rows < 0 || first > height_ - rows) return false;
    const size_t start = static_cast<size_t>(first) * static_cast<size_t>(width_);
    const size_t count = static_cast<size_t>(rows) * static_cast<size_t>(width_);
    if (child_ == nullptr) {
        std::memcpy(out, data_ + start, count * sizeof(uint32_t));
        return true;
    }
    return child_->Read(childAddress_ + start * sizeof(uint32_t),
                        std::as_writable_bytes(std::span(out, count)));
}

uint32_t* PixelStore::Local() const {
    if (child_ == nullptr) return data_;
    const size_t bytes = PixelCount() * sizeof(uint32_t);
    auto* local = static_cast<uint32_t*>(AllocateLargeZeroed(bytes));
    if (local == nullptr || !CopyRowsFromBottom(0, height_, local)) {
        FreeLarge(local, bytes);
        return nullptr;
    }
    data_ = local;
    child_.reset();
    return data_;
}

PixelStore::~PixelStore() {
    FreeLarge(data_, PixelCount() * sizeof(uint32_t));
}

}  // namespace pic2pnm

#include "netpbm/pixel_buffer.h"

#include "platform/large_memory.h"
#include "platform/run_time_error.h"

namespace pic2pnm {

PixelBuffer::~PixelBuffer() {
    Free();
}

void PixelBuffer::Free() {
    FreeLarge(data_, count_ * sizeof(int32_t));
    data_ = nullptr;
    count_ = 0;
}

void PixelBuffer::ReDim(int32_t upperBound) {
    Free();
    if (upperBound < 0) return;
    const size_t count = static_cast<size_t>(upperBound) + 1;
    // Fresh zero pages: the copy of the pixels is the first touch.
    auto* memory = static_cast<int32_t*>(AllocateLargeZeroed(count * sizeof(int32_t)));
    if (memory == nullptr) RaiseError(ErrorNumber::OutOfMemory);
    data_ = memory;
    count_ = count;
}

}  // namespace pic2pnm

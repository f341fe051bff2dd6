#include "netpbm/pixel_buffer.h"

#include "runtime/run_time_error.h"

namespace pic2pnm {

void PixelBuffer::ReDim(int32_t upperBound) {
    block_ = LargeBlock();
    count_ = 0;
    if (upperBound < 0) return;
    const size_t count = static_cast<size_t>(upperBound) + 1;
    // Fresh zero pages: the copy of the pixels is the first touch.
    LargeBlock memory(count * sizeof(int32_t));
    if (memory.Data() == nullptr) RaiseError(ErrorNumber::OutOfMemory);
    block_ = std::move(memory);
    count_ = count;
}

}  // namespace pic2pnm

#include "netpbm/pixel_buffer.h"

#include "platform/run_time_error.h"

namespace pic2pnm {

void PixelBuffer::ReDim(int32_t upperBound) {
    data_.reset();
    count_ = 0;
    if (upperBound < 0) return;
    const size_t count = static_cast<size_t>(upperBound) + 1;
    // calloc gives fresh zero pages for a large buffer without writing them; the copy of the
    // pixels is then the first touch.
    auto* memory = static_cast<int32_t*>(std::calloc(count, sizeof(int32_t)));
    if (memory == nullptr) RaiseError(ErrorNumber::OutOfMemory);
    data_.reset(memory);
    count_ = count;
}

}  // namespace pic2pnm

// The raster is written without any allocation per pixel: a picture a hundred times larger
// costs the same number of allocations.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "netpbm/pnm_writer.h"

namespace {
std::atomic<long> allocations{0};
}

// These replace the global allocation functions, so malloc and free pair up here by design.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace pic2pnm {
namespace {

long AllocationsToWrite(int32_t width, int32_t height, int32_t type) {
    PixelBuffer pixels;
    pixels.ReDim(width * height);
    for (int32_t i = 0; i < width * height; ++i)
        pixels.Data()[i] = static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u);
    PictureInfo info;
    info.Width = width;
    info.Height = height;
    ConvertRequest request;
    request.OutFileName = "/dev/null";
    request.OutputType = type;
    // Keep the console line out of the test's output.
    fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    FILE* null = freopen("/dev/null", "w", stdout);
    const long before = allocations.load();
    WritePnmFile(request, info, pixels);
    const long used = allocations.load() - before;
    fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(savedStdout);
    (void)null;
    return used;
}

TEST(WriterAllocationsTest, AllocationsDoNotGrowWithThePixelCount) {
    AllocationsToWrite(1, 1, OutputPpm);  // first-use set-up of the run-time is not per pixel
    for (int32_t type : {OutputPbm, OutputPgm, OutputPpm}) {
        const long small = AllocationsToWrite(10, 10, type);
        const long large = AllocationsToWrite(100, 100, type);
        EXPECT_GT(small, 0) << "the counter must see the writer's own allocations";
        EXPECT_EQ(small, large) << "type " << type;
    }
}

}  // namespace
}  // namespace pic2pnm

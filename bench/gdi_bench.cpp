// GetDIBits of a 24-megapixel bitmap into a caller's buffer, the one copy the pixel
// extraction makes. Items are pixels, bytes are bytes copied.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "codecs/common/pixel_store.h"
#include "imaging/gdi/gdi.h"
#include "noise_pixels.h"

namespace pic2pnm::bench {
namespace {

constexpr int32_t Width = 6000;
constexpr int32_t Height = 4000;

void BM_GetDIBits(benchmark::State& state) {
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(Width, Height);
    if (store == nullptr) {
        state.SkipWithError("no memory for the bitmap");
        return;
    }
    FillWithNoise(store->Data(), store->PixelCount());
    const HBITMAP bitmap = CreateBitmapObject(store, 24);
    const HDC dc = GetDC(0);
    std::vector<uint32_t> bits(store->PixelCount());

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = Width;
    header.biHeight = Height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<uint32_t>(bits.size() * sizeof(uint32_t));

    for (auto _ : state) {
        const int lines = GetDIBits(dc, bitmap, 0, Height, bits.data(), &header, DIB_RGB_COLORS);
        if (lines != Height) {
            state.SkipWithError("GetDIBits did not copy every line");
            break;
        }
        benchmark::DoNotOptimize(bits.data());
        benchmark::ClobberMemory();
    }
    ReleaseDC(0, dc);
    DeleteObject(bitmap);
    const int64_t pixels = static_cast<int64_t>(Width) * Height;
    state.SetItemsProcessed(state.iterations() * pixels);
    state.SetBytesProcessed(state.iterations() * pixels * 4);
}
BENCHMARK(BM_GetDIBits)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pic2pnm::bench

// CBufferedOut with the pieces the Netpbm writer gives it: 2 to 12 characters each, to the
// null device. Items are pieces, bytes are characters.
#include <benchmark/benchmark.h>

#include <array>
#include <string_view>

#include "output/buffered_out.h"

namespace pic2pnm::bench {
namespace {

// One piece of every length from 2 to 12: a PBM pixel, PGM values and PPM triples.
constexpr std::array<std::string_view, 11> Pieces = {
    "1 ",       "7 ",         "42 ",        "255 ",        "0 12 ",        "9 87 6 ",
    "12 34 5 ", "0 128 255 ", "12 200 7\n", "100 99 250 ", "255 255 255 ",
};
constexpr int PiecesPerIteration = 64 * 1024;

void BM_BufferedOutWriteFile(benchmark::State& state) {
    CBufferedOut out;
    out.OpenFile("/dev/null");
    int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < PiecesPerIteration; ++i) {
            const std::string_view piece = Pieces[static_cast<size_t>(i) % Pieces.size()];
            out.WriteFile(piece);
            bytes += static_cast<int64_t>(piece.size());
        }
    }
    out.CloseFile();
    state.SetItemsProcessed(state.iterations() * PiecesPerIteration);
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_BufferedOutWriteFile)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pic2pnm::bench

// CBufferedOut with the pieces the Netpbm writer gives it: 2 to 12 characters each, to the
// null device, as strings and as the ShortTexts the writer uses. Items are pieces, bytes are
// characters.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
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

// The same pieces as the writer gives them, one ShortText a pixel.
void BM_BufferedOutWriteShortText(benchmark::State& state) {
    std::array<ShortText, Pieces.size()> texts{};
    for (size_t i = 0; i < Pieces.size(); ++i) {
        char room[ShortText::Room] = {};
        Pieces[i].copy(room, Pieces[i].size());
        std::memcpy(&texts[i].low, room, sizeof texts[i].low);
        std::memcpy(&texts[i].high, room + sizeof texts[i].low, sizeof texts[i].high);
        texts[i].length = Pieces[i].size();
    }
    CBufferedOut out;
    out.OpenFile("/dev/null");
    int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < PiecesPerIteration; ++i) {
            const ShortText& text = texts[static_cast<size_t>(i) % texts.size()];
            out.WriteFile(text);
            bytes += static_cast<int64_t>(text.length);
        }
    }
    out.CloseFile();
    state.SetItemsProcessed(state.iterations() * PiecesPerIteration);
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_BufferedOutWriteShortText)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pic2pnm::bench

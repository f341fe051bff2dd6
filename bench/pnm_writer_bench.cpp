// The value-text path: WritePnmFile over a 4-megapixel picture of noise, to the null device,
// for each output type. Items are pixels.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "netpbm/pixel_buffer.h"
#include "netpbm/pnm_writer.h"
#include "noise_pixels.h"
#include "runtime/exit_status.h"
#include "shared/convert_request.h"
#include "shared/picture_info.h"

namespace pic2pnm::bench {
namespace {

constexpr int32_t Width = 2048;
constexpr int32_t Height = 2048;

// Sends the process's standard output to the null device while it lives: the writer prints
// one console line a call, which is not what is measured and would flood the report.
class SilencedStdout {
  public:
    SilencedStdout() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (saved_ < 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0) failed_ = true;
        if (null >= 0) close(null);
    }
    ~SilencedStdout() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    SilencedStdout(const SilencedStdout&) = delete;
    SilencedStdout& operator=(const SilencedStdout&) = delete;
    bool Failed() const { return failed_; }

  private:
    int saved_ = -1;
    bool failed_ = false;
};

void BM_WritePnmFile(benchmark::State& state) {
    ConvertRequest request;
    request.OutputType = static_cast<int32_t>(state.range(0));
    request.InFileName = "noise.png";
    request.OutFileName = "/dev/null";
    PictureInfo info;
    info.Width = Width;
    info.Height = Height;
    PixelBuffer pixels;
    pixels.ReDim(Width * Height - 1);
    FillWithNoise(reinterpret_cast<uint32_t*>(pixels.Data()), pixels.Count());

    for (auto _ : state) {
        SetExitStatus(ExitFailed);
        bool silenced = false;
        {
            SilencedStdout quiet;
            silenced = !quiet.Failed();
            if (silenced) WritePnmFile(request, info, pixels);
        }
        if (!silenced) {
            state.SkipWithError("cannot send standard output to the null device");
            break;
        }
        if (ExitStatus() != ExitConverted) {
            state.SkipWithError("WritePnmFile did not convert the picture");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Width) * Height);
}
BENCHMARK(BM_WritePnmFile)
    ->ArgName("type")
    ->Arg(OutputPbm)
    ->Arg(OutputPgm)
    ->Arg(OutputPpm)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pic2pnm::bench

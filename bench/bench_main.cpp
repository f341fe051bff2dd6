// The micro-benchmarks' entry point. Besides Google Benchmark's own flags it takes
// --pictures=DIR, a folder made by make-bench-pictures.sh; without it the pictures are made
// at 3000 x 2000 in a temporary folder that is removed at the end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "decoder_bench.h"

namespace {

constexpr std::string_view PicturesFlag = "--pictures=";

// Takes --pictures=DIR out of the arguments, so that Google Benchmark does not see it.
std::string TakePicturesFlag(int& argc, char** argv) {
    std::string folder;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (i > 0 && argument.starts_with(PicturesFlag))
            folder = argument.substr(PicturesFlag.size());
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return folder;
}

// A temporary folder of pictures made by the script; removed when this goes.
class MadePictures {
  public:
    bool Make() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pic2pnm-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return false;
        folder_ = pattern;
        const std::string command = std::string("'") + PIC2PNM_BENCH_PICTURE_SCRIPT +
                                    "' --size 3000x2000 '" + folder_.string() + "' >&2";
        return std::system(command.c_str()) == 0;
    }
    ~MadePictures() {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    const std::filesystem::path& Folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
};

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path folder = TakePicturesFlag(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    MadePictures made;
    if (folder.empty()) {
        if (!made.Make()) {
            std::fprintf(stderr, "cannot make the benchmark pictures; pass --pictures=DIR\n");
            return 1;
        }
        folder = made.Folder();
    }
    for (const std::string& name : pic2pnm::bench::RegisterDecoderBenchmarks(folder))
        std::fprintf(stderr, "no %s in %s: its benchmarks are left out\n", name.c_str(),
                     folder.c_str());

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Each decoder on a whole file held in memory, and the program's load path (file to pixel
// buffer) on the files the end-to-end comparison converts. Items are pixels.
#include "decoder_bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>

#include "codecs/bmp/bmp.h"
#include "codecs/gif/gif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/png/png.h"
#include "codecs/pnm/pnm.h"
#include "codecs/qoi/qoi.h"
#include "codecs/tiff/tiff.h"
#include "codecs/webp/webp.h"
#include "imaging/native/picture_object.h"
#include "netpbm/get_bitmap_pixels.h"
#include "netpbm/pixel_buffer.h"
#include "picture/picture_loader.h"
#include "runtime/large_memory.h"
#include "runtime/run_time_error.h"
#include "shared/picture_info.h"

namespace pic2pnm::bench {
namespace {

using Decoder = codecs::CodecResult (*)(codecs::FileView, const codecs::DecodeLimits&,
                                        codecs::DecodedPicture&);

struct DecoderCase {
    const char* name;
    const char* file;
    Decoder decode;
};

constexpr DecoderCase DecoderCases[] = {
    {"BMP", "photo.bmp", codecs::DecodeBmp},   {"JPEG", "photo.jpg", codecs::DecodeJpeg},
    {"PNG", "photo.png", codecs::DecodePng},   {"PNG_grey", "grey.png", codecs::DecodePng},
    {"TIFF", "photo.tif", codecs::DecodeTiff}, {"WebP", "photo.webp", codecs::DecodeWebp},
    {"GIF", "photo.gif", codecs::DecodeGif},   {"PPM", "photo.ppm", codecs::DecodePnm},
    {"PAM", "photo.pam", codecs::DecodePnm},   {"QOI", "photo.qoi", codecs::DecodeQoi},
};

// The yardstick for the formats that store pixels nearly as we hold them: the file's bytes
// copied into a fresh block, taken the way a decoder takes its pixel store.
constexpr const char* CopiedFiles[] = {"photo.ppm", "photo.pam", "photo.qoi"};

// PNG as the program decodes it, rearranging the file's bytes meanwhile (they are put back).
using InPlaceDecoder = codecs::CodecResult (*)(std::span<uint8_t>, const codecs::DecodeLimits&,
                                               codecs::DecodedPicture&);

struct InPlaceDecoderCase {
    const char* name;
    const char* file;
    InPlaceDecoder decode;
};

constexpr InPlaceDecoderCase InPlaceDecoderCases[] = {
    {"PNG_in_place", "photo.png", codecs::DecodePngInPlace},
    {"PNG_grey_in_place", "grey.png", codecs::DecodePngInPlace},
};

// The files the end-to-end comparison converts.
constexpr const char* LoadPathFiles[] = {"photo.jpg", "photo.png", "grey.png",
                                         "photo.bmp", "photo.tif", "small.png"};

std::shared_ptr<const std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                        std::istreambuf_iterator<char>());
    return bytes;
}

void DecodeFromMemory(benchmark::State& state, Decoder decode,
                      const std::shared_ptr<const std::vector<uint8_t>>& file) {
    int64_t pixels = 0;
    for (auto _ : state) {
        codecs::DecodedPicture picture;
        if (!decode(codecs::FileView(*file), codecs::DefaultDecodeLimits, picture).IsOk()) {
            state.SkipWithError("the decoder refused the picture");
            break;
        }
        benchmark::DoNotOptimize(picture.pixels->Data());
        pixels += static_cast<int64_t>(picture.pixels->PixelCount());
    }
    state.SetItemsProcessed(pixels);
}

void CopyFromMemory(benchmark::State& state,
                    const std::shared_ptr<const std::vector<uint8_t>>& file) {
    for (auto _ : state) {
        void* block = AllocateLargeZeroed(file->size());
        if (block == nullptr) {
            state.SkipWithError("out of memory");
            break;
        }
        std::memcpy(block, file->data(), file->size());
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        FreeLarge(block, file->size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(file->size()));
}

void DecodeInPlace(benchmark::State& state, InPlaceDecoder decode, std::vector<uint8_t>& file) {
    int64_t pixels = 0;
    for (auto _ : state) {
        codecs::DecodedPicture picture;
        if (!decode(file, codecs::DefaultDecodeLimits, picture).IsOk()) {
            state.SkipWithError("the decoder refused the picture");
            break;
        }
        benchmark::DoNotOptimize(picture.pixels->Data());
        pixels += static_cast<int64_t>(picture.pixels->PixelCount());
    }
    state.SetItemsProcessed(pixels);
}

void LoadAndExtract(benchmark::State& state, const std::string& path) {
    int64_t pixels = 0;
    for (auto _ : state) {
        try {
            PictureInfo info;
            PictureObject picture = LoadPictureEx(path, info, 0, false);
            PixelBuffer buffer;
            GetBitmapPixels(picture, info, buffer);
            benchmark::DoNotOptimize(buffer.Data());
            pixels += static_cast<int64_t>(info.Width) * info.Height;
        } catch (const RuntimeError& error) {
            state.SkipWithError(error.what());
            break;
        }
    }
    state.SetItemsProcessed(pixels);
}

}  // namespace

std::vector<std::string> RegisterDecoderBenchmarks(const std::filesystem::path& folder) {
    std::vector<std::string> missing;
    for (const DecoderCase& c : DecoderCases) {
        auto file = ReadWholeFile(folder / c.file);
        if (file == nullptr) {
            missing.emplace_back(c.file);
            continue;
        }
        benchmark::RegisterBenchmark((std::string("BM_Decode/") + c.name).c_str(),
                                     [decode = c.decode, file](benchmark::State& state) {
                                         DecodeFromMemory(state, decode, file);
                                     })
            ->Unit(benchmark::kMillisecond);
    }
    for (const char* name : CopiedFiles) {
        auto file = ReadWholeFile(folder / name);
        if (file == nullptr) continue;  // reported missing above
        benchmark::RegisterBenchmark(
            (std::string("BM_CopyBytes/") + name).c_str(),
            [file](benchmark::State& state) { CopyFromMemory(state, file); })
            ->Unit(benchmark::kMillisecond);
    }
    for (const InPlaceDecoderCase& c : InPlaceDecoderCases) {
        auto file = ReadWholeFile(folder / c.file);
        if (file == nullptr) continue;  // already listed as missing above
        auto bytes = std::make_shared<std::vector<uint8_t>>(*file);
        benchmark::RegisterBenchmark((std::string("BM_Decode/") + c.name).c_str(),
                                     [decode = c.decode, bytes](benchmark::State& state) {
                                         DecodeInPlace(state, decode, *bytes);
                                     })
            ->Unit(benchmark::kMillisecond);
    }
    for (const char* name : LoadPathFiles) {
        const std::filesystem::path path = folder / name;
        if (!std::filesystem::is_regular_file(path)) {
            if (std::find(missing.begin(), missing.end(), name) == missing.end())
                missing.emplace_back(name);
            continue;
        }
        benchmark::RegisterBenchmark(
            (std::string("BM_LoadAndExtract/") + name).c_str(),
            [file = path.string()](benchmark::State& state) { LoadAndExtract(state, file); })
            ->Unit(benchmark::kMillisecond);
    }
    return missing;
}

}  // namespace pic2pnm::bench

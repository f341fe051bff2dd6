#include "codecs/common/codec_child.h"
#include "codecs/common/codec_reasons.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "codecs/common/codec_child_record.h"
#include "codecs/common/codec_libraries.h"
#include "codecs/common/codec_quiet_standard_error.h"
#include "codecs/common/codec_registry.h"
#include "runtime/confined_child.h"
#include "testing/testing_hooks.h"

namespace pic2pnm::codecs {
namespace {

constexpr uint64_t MiB = uint64_t{1} << 20;

// CPU time: 30 s, and 1 s more a megapixel of the largest size the file states. At 24
// megapixels the slowest decode seen, a 10-bit 4:4:4 HEIF with alpha, took 5.2 s (0.22 s a
// megapixel); the largest picture we take, 536 megapixels, gets 566 s. The wall-clock limit
// catches a child that waits for ever rather than computes: 20 minutes.
constexpr uint32_t CpuSeconds = 30;
constexpr uint64_t CpuSecondsPerMegapixel = 1;
constexpr uint32_t WallMilliseconds = 1'200'000;

// The address space a decode needs, beyond what the program held when the child started
// (the input's bytes and the libraries among it). Before the file has stated its size: the
// libraries' set-up and a decoder's tables. Each processor may get a worker thread from the
// AV1 or HEVC decoder, which takes a stack and reserves a heap of its own. Then so many bytes
// a pixel of the largest size the file states. At 24 megapixels an 8-bit picture of most
// formats took 4 (our store), an 8-bit HEIF 13 and AVIF 14 (libheif's planes and RGB copy),
// a 12-bit 4:4:4 AVIF with alpha 29, and a lossy 16-bit JPEG XL with alpha 40 (libjxl's
// floating-point planes); 48 leaves room.
constexpr uint64_t StartAllowance = 128 * MiB;
constexpr uint64_t PerProcessor = 80 * MiB;
constexpr uint64_t BytesPerPixel = 48;
constexpr uint64_t LargestPicturePixels = INT32_MAX / 4;

uint32_t cpuSecondsForTesting = 0;
uint32_t wallMillisecondsForTesting = 0;
DecodeChildFault fault = DecodeChildFault::None;
DecodeRefusalObserver refusalObserver;

uint64_t threadAllowance = 0;

uint64_t Processors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return static_cast<uint64_t>(std::max(CPU_COUNT(&set), 1));
}

ChildLimits Limits() {
    ChildLimits limits;
    limits.cpuSeconds = cpuSecondsForTesting != 0 ? cpuSecondsForTesting : CpuSeconds;
    limits.mostCpuSeconds =
        cpuSecondsForTesting != 0
            ? cpuSecondsForTesting
            : static_cast<uint32_t>(CpuSeconds + CpuSecondsPerMegapixel *
                                                     (LargestPicturePixels / 1'000'000 + 1));
    limits.wallMilliseconds =
        wallMillisecondsForTesting != 0 ? wallMillisecondsForTesting : WallMilliseconds;
    threadAllowance = StartAllowance + Processors() * PerProcessor;
    limits.startAddressSpace = threadAllowance;
    limits.mostAddressSpace = threadAllowance + BytesPerPixel * LargestPicturePixels;
    return limits;
}

void FitToStatedSize(int64_t width, int64_t height) {
    const auto pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    FitAddressSpace(threadAllowance + BytesPerPixel * pixels);
    FitCpuTime(CpuSeconds + CpuSecondsPerMegapixel * (pixels / 1'000'000 + 1));
}

// Before the filter: the libraries of every format whose signature the file carries. Any
// other library stays closed for good.
void OpenLibrariesFor(FileView file) {
    for (const CodecEntry& row : CodecRegistry())
        if (row.library.open != nullptr && row.looksLike(file)) row.library.open();
    SealCodecLibraries();
    // Standard error leads to the parent, which drops what the libraries say.
    SetStandardErrorFilteredByParent(true);
}

// A record that claims a picture, an icon or a header the child never made: stores of 4096 x
// 4096 pixels where the child holds one.
ChildRecordBytes LyingRecord(ChildTask task) {
    ChildDecode lie;
    const std::shared_ptr<PixelStore> pixel = PixelStore::Allocate(1, 1);
    lie.picture = {1, 1, SourceFormat{}, 0, 0, pixel};
    lie.icon.width = 1;
    lie.icon.height = 1;
    lie.icon.imageBits = 32;
    lie.icon.color = pixel;
    lie.icon.mask = pixel;
    ChildRecordBytes bytes = EncodeChildRecord(task, lie);
    ChildDecodeRecord record;
    std::memcpy(&record, bytes.data(), sizeof record);
    record.width = record.height = 4096;
    for (ChildStoreRecord& store : record.stores)
        if (store.width != 0) store.width = store.height = 4096;
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

// The misbehaviour a test asked for, in place of the decoder.
void Misbehave(ChildSide& side, ChildTask task) {
    switch (fault) {
        case DecodeChildFault::None: return;
        case DecodeChildFault::Crash: {
            const volatile uintptr_t nowhere = 16;
            *reinterpret_cast<volatile int*>(nowhere) = 1;
            break;
        }
        case DecodeChildFault::Abort: std::abort();
        case DecodeChildFault::Spin: {
            const volatile bool forever = true;
            while (forever) {
            }
            break;
        }
        case DecodeChildFault::AllocateForever: {
            // Until the address-space limit says no; then as a decoder would.
            for (;;) {
                auto* block = static_cast<volatile char*>(std::malloc(16 * MiB));
                if (block == nullptr) break;
                for (size_t at = 0; at < 16 * MiB; at += 4096) block[at] = 1;
            }
            ChildDecode refused;
            refused.result = Refuse("sandbox: the decoder took all the address space it may");
            side.Report(EncodeChildRecord(task, refused));
            side.HandOver({});
            break;
        }
        case DecodeChildFault::Open:
            ::open("pic2pnm-child-was-here", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            break;
        case DecodeChildFault::Socket: ::socket(AF_INET, SOCK_STREAM, 0); break;
        case DecodeChildFault::Execve: {
            char shell[] = "/bin/sh";
            char option[] = "-c";
            char command[] = "echo >pic2pnm-child-was-here";
            char* arguments[] = {shell, option, command, nullptr};
            ::execve(shell, arguments, nullptr);
            break;
        }
        case DecodeChildFault::LyingRecord:
            side.Report(LyingRecord(task));
            side.HandOver({});
            break;
        case DecodeChildFault::ShortRecord: {
            const ChildRecordBytes bytes = LyingRecord(task);
            side.Report(std::span(bytes).first(bytes.size() / 2));
            break;
        }
    }
    ::_exit(0);
}

void Work(ChildSide& side, ChildTask task, const std::function<CodecResult(ChildDecode&)>& decode,
          const std::function<void()>& releaseFile) {
    SetStatedSizeObserver(FitToStatedSize);
    Misbehave(side, task);
    ChildDecode result;
    result.confined = true;
    result.result = decode(result);
    // The child may be held until the picture is written: it keeps its pixels and nothing more.
    if (releaseFile) releaseFile();
    if (side.Report(EncodeChildRecord(task, result)))
        side.HandOver(ChildStoreRegions(task, result));
    // Nothing to clean up: the process ends.
    ::_exit(0);
}

// In the parent: a store of its own holding the child's pixels.
std::shared_ptr<PixelStore> CopyStore(ChildAccess& child, uint64_t address, int32_t width,
                                      int32_t height) {
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(width, height);
    if (store == nullptr) return nullptr;
    const auto bytes = std::as_writable_bytes(std::span(store->Data(), store->PixelCount()));
    return child.Read(address, bytes) ? store : nullptr;
}

// A picture's pixels stay in the child, which is held, stopped, until they are copied out
// where the program needs them (GetDIBits): no store of the parent's own, no copy more than
// decoding in the process makes. Icons, small, and pixels the system does not let the parent
// read straight are copied into stores of the parent's own.
std::shared_ptr<PixelStore> FetchStore(ChildAccess& child, ChildTask task,
                                       std::shared_ptr<HeldChild>& held, uint64_t address,
                                       int32_t width, int32_t height) {
    const size_t bytes = size_t(width) * size_t(height) * sizeof(uint32_t);
    if (task == ChildTask::Picture && child.CanReadStraight(address, bytes)) {
        if (held == nullptr) held = child.Hold();
        // Asked again once the child is stopped, when nothing there changes any more.
        if (held == nullptr || !child.CanReadStraight(address, bytes)) return nullptr;
        return PixelStore::InChild(width, height, held, address);
    }
    if (task == ChildTask::Picture && !child.Denied()) return nullptr;  // nothing there
    return CopyStore(child, address, width, height);
}

// Why a child that did not report was not believed.
CodecResult ResultOfChildEnd(ChildEnd end) {
    switch (end) {
        case ChildEnd::Crashed: return Refuse("sandbox: the decode child crashed");
        case ChildEnd::Refused:
            return Refuse("sandbox: the decode child made a forbidden system call");
        case ChildEnd::OverCpuTime: return Refuse("sandbox: the decode child ran out of CPU time");
        case ChildEnd::OverTime:
            return Refuse("sandbox: the decode child ran out of wall-clock time");
        case ChildEnd::NoRecord:
            return Refuse("sandbox: the decode child ended without its whole record");
        default: return Refuse("sandbox: the decode child's record does not hold");
    }
}

}  // namespace

CodecResult DecodeConfined(FileView file, ChildTask task,
                           const std::function<CodecResult(ChildDecode&)>& decode, ChildDecode& out,
                           const std::function<void()>& releaseFile) {
    ChildDecode result;
    std::shared_ptr<HeldChild> held;
    const RecordReader read = [&](std::span<const std::byte> record, ChildAccess& child) {
        const FetchChildStore fetch = [&](uint64_t address, int32_t width, int32_t height) {
            return FetchStore(child, task, held, address, width, height);
        };
        return ReadChildRecord(record, task, fetch, result);
    };
    const ChildRun run = RunConfined(
        Limits(), [file] { OpenLibrariesFor(file); },
        [&](ChildSide& side) { Work(side, task, decode, releaseFile); }, sizeof(ChildDecodeRecord),
        read, releaseFile);
    if (run.end == ChildEnd::NotRun) {
        result.result = decode(result);
    } else if (run.end != ChildEnd::Reported) {
        result = ChildDecode{};
        result.result = ResultOfChildEnd(run.end);
    }
    out = std::move(result);
    if (!out.result.IsOk() && refusalObserver)
        refusalObserver(static_cast<int>(out.result.status), out.result.reason);
    return out.result;
}

}  // namespace pic2pnm::codecs

namespace pic2pnm {

void SetDecodeChildFaultForTesting(DecodeChildFault childFault) {
    codecs::fault = childFault;
}

void SetDecodeChildTimeLimitsForTesting(uint32_t cpuSeconds, uint32_t wallMilliseconds) {
    codecs::cpuSecondsForTesting = cpuSeconds;
    codecs::wallMillisecondsForTesting = wallMilliseconds;
}

void SetDecodeRefusalObserver(DecodeRefusalObserver observer) {
    codecs::refusalObserver = std::move(observer);
}

}  // namespace pic2pnm

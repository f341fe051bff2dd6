// What every fuzz target demands of a decoder beyond "no crash": a status from the list with a
// reason of the table when it is not Ok, and on Ok a picture whose pixel store is exactly as
// large as the size it reports. A broken promise stops the run with a trap, which libFuzzer
// reports as a crash with its input. With PIC2PNM_FUZZ_REASONS=1 in the environment every
// refusal's reason is printed to standard error, one a line, for tallying with sort | uniq -c.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "codecs/common/codec_limits.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/common/codec_registry.h"
#include "codecs/common/decoded_picture.h"
#include "codecs/common/pixel_store.h"

namespace pic2pnm::fuzzing {

inline void Require(bool condition) {
    if (!condition) __builtin_trap();
}

// The limits the targets decode with: pictures above a million pixels are refused as too
// large, so that the fuzzer spends its time on decoding rather than on huge allocations. 4 MB
// of pixels at most: blocks that large come straight from the operating system instead of the
// C library (large_memory.cpp), and AddressSanitizer would not see a write past their end.
inline constexpr int64_t FuzzPixelCap = 1000 * 1000;
inline constexpr codecs::DecodeLimits FuzzLimits{.pixels = FuzzPixelCap};

inline bool ShowsReasons() {
    static const bool shows = [] {
        const char* value = std::getenv("PIC2PNM_FUZZ_REASONS");
        return value != nullptr && value[0] == '1';
    }();
    return shows;
}

inline void CheckStatus(codecs::CodecResult result) {
    using codecs::CodecStatus;
    const CodecStatus status = result.status;
    Require(status == CodecStatus::Ok || status == CodecStatus::NotMyFormat ||
            status == CodecStatus::Corrupt || status == CodecStatus::TooLarge ||
            status == CodecStatus::OutOfMemory || status == CodecStatus::Unsupported ||
            status == CodecStatus::LibraryMissing);
    if (result.IsOk()) {
        Require(result.reason == nullptr);
        return;
    }
    Require(result.reason != nullptr && codecs::FindCodecReason(result.reason) != nullptr &&
            codecs::StatusOfCodecReason(result.reason) == status);
    if (ShowsReasons()) std::fprintf(stderr, "%s\n", result.reason);
}

// The store must hold width x height pixels. Reading its first and last pixel lets
// AddressSanitizer catch a store whose memory is smaller than it claims.
inline void CheckStore(const std::shared_ptr<PixelStore>& store, int32_t width, int32_t height) {
    Require(store != nullptr);
    Require(store->Width() == width && store->Height() == height);
    Require(IsPictureSizeSupported(width, height));
    volatile uint32_t sink = store->Data()[0];
    sink = store->Data()[store->PixelCount() - 1];
    (void)sink;
}

// The description holds what a decoder could have seen: samples of at least one bit, no wider
// than a pixel, and a palette only of indices of 16 bits or fewer.
inline void CheckSource(const codecs::SourceFormat& s) {
    Require(s.channels <= codecs::SourceChannels::Cmyk && s.alpha <= codecs::AlphaKind::Mask);
    Require(s.sampleBits >= 1 && s.sampleBits <= s.pixelBits);
    Require(s.paletteEntries == 0 || (s.sampleBits <= 16 && s.paletteEntries <= 65536));
}

inline void CheckPicture(codecs::CodecResult result, const codecs::DecodedPicture& picture) {
    CheckStatus(result);
    if (!result.IsOk()) return;
    CheckStore(picture.pixels, picture.width, picture.height);
    CheckSource(picture.source);
}

inline codecs::FileView ViewOf(const uint8_t* data, size_t size) {
    return codecs::FileView(data, size);
}

// One registry row on one input: the checks above, and a decoder that answers NotMyFormat
// exactly when the row's signature check says no.
inline void CheckRow(const codecs::CodecEntry& row, codecs::FileView file) {
    codecs::DecodedPicture picture;
    const codecs::CodecResult result = row.decode(file, FuzzLimits, picture);
    CheckPicture(result, picture);
    Require((result.status != codecs::CodecStatus::NotMyFormat) == row.looksLike(file));
}

// The body of a fuzz target for the registry row of that name.
inline int FuzzRow(const char* name, const uint8_t* data, size_t size) {
    const codecs::CodecEntry* row = codecs::FindCodec(name);
    Require(row != nullptr);
    CheckRow(*row, ViewOf(data, size));
    return 0;
}

}  // namespace pic2pnm::fuzzing

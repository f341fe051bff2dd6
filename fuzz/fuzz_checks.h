// What every fuzz target demands of a decoder beyond "no crash": a status from the list, and
// on Ok a picture whose pixel store is exactly as large as the size it reports. A broken
// promise stops the run with a trap, which libFuzzer reports as a crash with its input.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/common/codec_registry.h"
#include "codecs/common/decoded_picture.h"
#include "codecs/common/pixel_store.h"

namespace pic2pnm::fuzzing {

inline void Require(bool condition) {
    if (!condition) __builtin_trap();
}

inline void CheckStatus(codecs::CodecStatus status) {
    using codecs::CodecStatus;
    Require(status == CodecStatus::Ok || status == CodecStatus::NotMyFormat ||
            status == CodecStatus::Corrupt || status == CodecStatus::TooLarge ||
            status == CodecStatus::OutOfMemory || status == CodecStatus::Unsupported ||
            status == CodecStatus::LibraryMissing);
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

inline bool IsBitmapDepth(uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

inline void CheckPicture(codecs::CodecStatus status, const codecs::DecodedPicture& picture) {
    CheckStatus(status);
    if (status != codecs::CodecStatus::Ok) return;
    CheckStore(picture.pixels, picture.width, picture.height);
    Require(IsBitmapDepth(picture.bitsPerPixel));
    // Not checked against a list: the format code names what the source held, and GDI+ has
    // more codes (CMYK among them) than the bitmap depths above.
    Require(picture.pixelFormat != 0);
}

inline codecs::FileView ViewOf(const uint8_t* data, size_t size) {
    return codecs::FileView(data, size);
}

// One registry row on one input: the checks above, and a decoder that answers NotMyFormat
// exactly when the row's signature check says no.
inline void CheckRow(const codecs::CodecEntry& row, codecs::FileView file) {
    codecs::DecodedPicture picture;
    const codecs::CodecStatus status = row.decode(file, picture);
    CheckPicture(status, picture);
    Require((status != codecs::CodecStatus::NotMyFormat) == row.looksLike(file));
}

// The body of a fuzz target for the registry row of that name.
inline int FuzzRow(const char* name, const uint8_t* data, size_t size) {
    const codecs::CodecEntry* row = codecs::FindCodec(name);
    Require(row != nullptr);
    CheckRow(*row, ViewOf(data, size));
    return 0;
}

}  // namespace pic2pnm::fuzzing

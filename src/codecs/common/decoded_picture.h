// What every decoder delivers, and how it says that it could not.
//
// Decoders work on the whole file in memory, sniff their own signature, check the declared
// size against the limits they are given (DecodeLimits) before they allocate, and write their
// pixels straight into a PixelStore. They never print, never throw and never let a C library
// jump across our frames. A refusal comes with its reason from the one table of them
// (codec_reasons.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "codecs/common/pixel_store.h"

namespace pic2pnm::codecs {

enum class CodecStatus {
    Ok,
    NotMyFormat,  // the signature is not this decoder's: another decoder may try
    Corrupt,      // this decoder's format, but broken, cut short or using what we do not read
    TooLarge,     // the declared size is more than the limits allow
    OutOfMemory,  // an allocation failed
    Unsupported,  // this decoder's format, but a library or codec it needs is not installed
    // this decoder's format, but the library it opens at run time (or a function of it) is
    // not there; the user is told the same as for a broken file
    LibraryMissing,
};

// A decode's outcome: its status and, for every other status than Ok, why. The reason is one
// of the static texts of CodecReasons (codec_reasons.h), never a text made for the occasion,
// so that a result costs nothing to pass on and fits the decode child's fixed record.
struct CodecResult {
    CodecStatus status = CodecStatus::Ok;
    const char* reason = nullptr;  // null exactly when Ok

    constexpr bool IsOk() const { return status == CodecStatus::Ok; }
};

// The result of a decode that succeeded.
inline constexpr CodecResult Decoded{};

// The kind of colour the file's samples hold.
enum class SourceChannels : uint8_t {
    Grey,
    Colour,  // red, green and blue, or what the file codes them as (YCbCr, XYB, ...)
    Cmyk,    // inks: cyan, magenta, yellow and black
};

// What bits 24-31 of the decoded pixels mean.
enum class AlphaKind : uint8_t {
    None,           // nothing: the picture is opaque, whatever the bits hold
    Straight,       // alpha, the colour not multiplied by it
    Premultiplied,  // alpha, the colour already multiplied by it
    Mask,           // 0 or 255 from a transparency mask beside the colour image (icons)
};

// The picture as the file stores it, in no platform's terms: the loaders above turn this into
// what their platform reports of a picture.
struct SourceFormat {
    SourceChannels channels = SourceChannels::Colour;
    // Bits of one sample as the file stores it (the widest, when they differ); for a picture
    // of palette indices, the bits of one index.
    uint8_t sampleBits = 8;
    // Bits one pixel takes as the file lays its samples out, unused bits included.
    uint8_t pixelBits = 24;
    AlphaKind alpha = AlphaKind::None;
    // The entries of the palette the pixels index; 0 when they are no indices.
    uint32_t paletteEntries = 0;

    friend constexpr bool operator==(const SourceFormat&, const SourceFormat&) = default;
};

struct DecodedPicture {
    int32_t width = 0;
    int32_t height = 0;
    SourceFormat source;
    // Resolution in dots per inch as the file states it; 0 when it states none.
    float dpiX = 0;
    float dpiY = 0;
    std::shared_ptr<PixelStore> pixels;

    bool HasAlpha() const { return source.alpha != AlphaKind::None; }
};

using FileView = std::span<const uint8_t>;

}  // namespace pic2pnm::codecs

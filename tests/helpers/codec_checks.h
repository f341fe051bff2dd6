// Checks every decoder's tests share, each run against the decoder under test: a fixture
// against its reference pixels, every prefix of a file, damaged bytes, files that must be
// refused, the signature check; and the little-endian and big-endian byte builders the
// hand-made files are written with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codecs/common/decoded_picture.h"
#include "helpers/reference_image.h"

namespace pic2pnm::testing {

using Bytes = std::vector<uint8_t>;
using Decoder = codecs::CodecStatus (*)(codecs::FileView, codecs::DecodedPicture&);
using SignatureCheck = bool (*)(codecs::FileView);

// What a fixture must decode to, beyond its reference pixels.
struct ExpectedPicture {
    uint16_t bitsPerPixel = 0;
    uint32_t pixelFormat = 0;
    bool hasAlpha = false;
    bool premultipliedAlpha = false;
    int tolerance = 0;  // per channel, as ComparePixels takes it
    bool compareAlpha = false;
    std::optional<float> dpi = std::nullopt;  // on both axes, when the decoder must report it
    SignatureCheck looksLike = nullptr;       // when set, must accept the file
};

// Decodes `file` and checks the picture's description and its pixels against `reference`.
void ExpectMatchesReference(Decoder decode, const Bytes& file, const ReferenceImage& reference,
                            const ExpectedPicture& expected);

// The test data file `name` against the reference beside it, its extension replaced by .pam
// when it has alpha (32-bit ARGB, alpha compared) or by .ppm (24-bit RGB), with no resolution
// reported; `looksLike`, when given, must accept it.
void ExpectMatchesSiblingReference(Decoder decode, const std::string& name, bool hasAlpha,
                                   int tolerance, SignatureCheck looksLike = nullptr);

// Decodes every prefix of `whole`, from none of it to all of it, each copied to a buffer of
// its own size so that the sanitizers see a read past its end, and stops at the first one
// whose status is not `expectedFor(length)`.
void ExpectEveryPrefixStatus(Decoder decode, const Bytes& whole,
                             const std::function<codecs::CodecStatus(size_t length)>& expectedFor);

// `trials` copies of `whole`, trial t with 1 + t % 4 bytes overwritten at places and with
// values drawn from a generator started at `seed`: the decoder gives a status and, when Ok,
// a whole picture of the size it reports; otherwise no picture at all.
void ExpectDamagedBytesGiveAStatus(Decoder decode, const Bytes& whole, uint32_t seed, int trials);

struct NamedBytes {
    const char* name;
    Bytes bytes;
};

// Each file decodes to `expected` and leaves no picture behind.
void ExpectEachRefused(Decoder decode, const std::vector<NamedBytes>& files,
                       codecs::CodecStatus expected);

// Files of other formats (test data names) are NotMyFormat, so another decoder gets its turn.
void ExpectOtherFormatsLeftAlone(Decoder decode, const std::vector<const char*>& testDataNames);

// A cap one pixel below the file's `pixelCount` refuses it as TooLarge; a cap of exactly
// that many lets it through. The cap is lifted afterwards.
void ExpectPixelCountCapHonoured(Decoder decode, const Bytes& file, int64_t pixelCount);

struct SignatureCase {
    const char* name;
    Bytes bytes;
    bool expected;
};

void ExpectSignatureResults(SignatureCheck looksLike, const std::vector<SignatureCase>& cases);

// The first `length` bytes, in a buffer of their own.
Bytes Prefix(const Bytes& bytes, size_t length);

// Appending values, least or most significant byte first.
void AppendLe16(Bytes& bytes, uint32_t value);
void AppendLe32(Bytes& bytes, uint32_t value);
void AppendBe32(Bytes& bytes, uint32_t value);

// Overwriting and reading little-endian values in place; out of range throws.
void SetLe16(Bytes& bytes, size_t at, uint32_t value);
void SetLe32(Bytes& bytes, size_t at, uint32_t value);
uint32_t GetLe32(const Bytes& bytes, size_t at);

}  // namespace pic2pnm::testing

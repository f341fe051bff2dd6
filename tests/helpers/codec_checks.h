// Checks every decoder's tests share, each run against the decoder under test: a fixture
// against its reference pixels, every prefix of a file, damaged bytes, files that must be
// refused, the signature check; and the little-endian and big-endian byte builders the
// hand-made files are written with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/common/codec_limits.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/common/decoded_picture.h"
#include "helpers/reference_image.h"
#include "imaging/gdiplus/gdiplus_pixel_format.h"

namespace pic2pnm::codecs {

// Results are alike when their status and the text of their reason are.
bool operator==(const CodecResult& a, const CodecResult& b);
// A result compared with a bare status: the status alone.
bool operator==(const CodecResult& result, CodecStatus status);
void PrintTo(const CodecResult& result, std::ostream* out);
void PrintTo(const SourceFormat& source, std::ostream* out);

}  // namespace pic2pnm::codecs

namespace pic2pnm::testing {

using Bytes = std::vector<uint8_t>;
using Decoder = codecs::CodecResult (*)(codecs::FileView, const codecs::DecodeLimits&,
                                        codecs::DecodedPicture&);
using SignatureCheck = bool (*)(codecs::FileView);

// The depth of the native loader's bitmap and the GDI+ stand-in's pixel format code of a
// picture decoded by the registry row `codec`.
uint16_t NativeDepthOf(std::string_view codec, const codecs::DecodedPicture& picture);
PixelFormatCode GdipFormatOf(std::string_view codec, const codecs::DecodedPicture& picture);

// 8-bit RGB, or RGBA with straight alpha: what most decoders of compressed formats describe.
codecs::SourceFormat EightBitRgb(bool alpha);

// What a fixture must decode to, beyond its reference pixels.
struct ExpectedPicture {
    // The registry row the picture is reported as, when the depth and pixel format the loaders
    // work out from its description must be these (the native loader's bitmap depth, the GDI+
    // stand-in's pixel format code).
    const char* codec = nullptr;
    uint16_t bitsPerPixel = 0;
    PixelFormatCode pixelFormat = 0;
    bool hasAlpha = false;
    bool premultipliedAlpha = false;
    // When set, the description itself; when neither it nor `codec` is, `hasAlpha` alone.
    std::optional<codecs::SourceFormat> source = std::nullopt;
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
// whose status is not `expectedFor(length)` or that is refused without a reason of the table.
void ExpectEveryPrefixStatus(Decoder decode, const Bytes& whole,
                             const std::function<codecs::CodecStatus(size_t length)>& expectedFor);

// `trials` copies of `whole`, trial t with 1 + t % 4 bytes overwritten at places and with
// values drawn from a generator started at `seed`: the decoder gives a status and, when Ok,
// a whole picture of the size it reports; otherwise no picture at all.
void ExpectDamagedBytesGiveAStatus(Decoder decode, const Bytes& whole, uint32_t seed, int trials);

struct NamedBytes {
    const char* name;
    Bytes bytes;
    // Why the decoder must refuse it, a text of CodecReasons; null where any reason of the table
    // will do (the conformance test's files cut short, one table for every row).
    const char* reason;
};

// Each file decodes to `expected` with its reason and leaves no picture behind.
void ExpectEachRefused(Decoder decode, const std::vector<NamedBytes>& files,
                       codecs::CodecStatus expected);

// Files of other formats (test data names) are NotMyFormat, so another decoder gets its turn.
void ExpectOtherFormatsLeftAlone(Decoder decode, const std::vector<const char*>& testDataNames);

// Limits of one pixel below the file's `pixelCount` refuse it as TooLarge, as larger than the
// limits allow; limits of exactly that many let it through.
void ExpectPixelCountCapHonoured(Decoder decode, const Bytes& file, int64_t pixelCount);

// Non-Ok results carry a reason of the table, Ok ones none.
void ExpectReasonOfTheTable(const codecs::CodecResult& result);

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

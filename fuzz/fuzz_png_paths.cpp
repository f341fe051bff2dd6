// PNG files, decoded every way (the registry's row alone is fuzz_png): in place (the whole stream
// through libdeflate, then the row decoder, then libspng for what they leave), our own row decoder
// (with libspng for what it leaves) and libspng alone must agree on the outcome and on every pixel,
// and the bytes decoded in place must be as they were afterwards.
//
// Most mutations would break a chunk's CRC and stop both decoders at the first chunk, so the
// CRCs are put right before decoding; the picture data behind them then gets mutated freely.
#include <zlib.h>

#include <cstring>
#include <vector>

#include "codecs/png/png.h"
#include "codecs/png/png_path.h"
#include "fuzz_checks.h"

namespace {

// Rewrites the CRC of every whole chunk after the signature.
void PutCrcsRight(std::vector<uint8_t>& png) {
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 |
                                uint32_t{png[at + 2]} << 8 | png[at + 3];
        if (length > png.size() - at - 12) return;
        const auto crc = static_cast<uint32_t>(crc32_z(0, png.data() + at + 4, size_t{4} + length));
        uint8_t* out = png.data() + at + 8 + length;
        out[0] = static_cast<uint8_t>(crc >> 24);
        out[1] = static_cast<uint8_t>(crc >> 16);
        out[2] = static_cast<uint8_t>(crc >> 8);
        out[3] = static_cast<uint8_t>(crc);
        at += size_t{12} + length;
    }
}

void RequireSamePicture(const pic2pnm::codecs::DecodedPicture& ours,
                        const pic2pnm::codecs::DecodedPicture& library) {
    using pic2pnm::fuzzing::Require;
    Require(ours.width == library.width && ours.height == library.height);
    Require(ours.source == library.source);
    Require(std::memcmp(ours.pixels->Data(), library.pixels->Data(),
                        ours.pixels->PixelCount() * sizeof(uint32_t)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pic2pnm;
    using codecs::PngRowPath;
    std::vector<uint8_t> png(data, data + size);
    PutCrcsRight(png);
    const codecs::FileView file = fuzzing::ViewOf(png.data(), png.size());
    codecs::DecodedPicture direct;
    const codecs::CodecResult result =
        codecs::DecodePngUsing(file, fuzzing::FuzzLimits, direct, PngRowPath::DirectFirst);
    const codecs::CodecStatus status = result.status;
    fuzzing::CheckPicture(result, direct);
    codecs::DecodedPicture library;
    fuzzing::Require(
        codecs::DecodePngUsing(file, fuzzing::FuzzLimits, library, PngRowPath::Library).status ==
        status);
    std::vector<uint8_t> copy = png;
    codecs::DecodedPicture inPlace;
    const codecs::CodecResult inPlaceResult =
        codecs::DecodePngInPlace(copy, fuzzing::FuzzLimits, inPlace);
    const codecs::CodecStatus inPlaceStatus = inPlaceResult.status;
    fuzzing::Require(copy == png);
    // libdeflate turns some deflate streams that zlib refuses into valid ones (it leaves the
    // checking to the checksum): a file whose zlib checksum matches what libdeflate makes of
    // its stream converts on the program's path. Every other answer must agree.
    const bool lenientInflate =
        inPlaceStatus == codecs::CodecStatus::Ok && status == codecs::CodecStatus::Corrupt;
    fuzzing::Require(inPlaceStatus == status || lenientInflate);
    if (lenientInflate) {
        fuzzing::CheckPicture(inPlaceResult, inPlace);
        return 0;
    }
    if (status != codecs::CodecStatus::Ok) return 0;
    RequireSamePicture(direct, library);
    RequireSamePicture(inPlace, library);
    return 0;
}

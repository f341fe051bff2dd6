#include "platform/gdiplus_decode.h"

namespace pic2pnm {
namespace {

using Decoder = codecs::CodecStatus (*)(std::span<uint8_t>, codecs::DecodedPicture&);

// A decoder that only reads the file's bytes.
template <codecs::CodecStatus (*Decode)(codecs::FileView, codecs::DecodedPicture&)>
codecs::CodecStatus Reading(std::span<uint8_t> file, codecs::DecodedPicture& out) {
    return Decode(file, out);
}

struct FormatEntry {
    Decoder decode;
    GUID rawFormat;
};

// Each decoder checks its own signature. The icon header (a few zero bytes and a small
// count) is the weakest signature, so icons and cursors come last.
constexpr FormatEntry Formats[] = {
    {codecs::DecodePngInPlace, RawFormat::Png},
    {Reading<codecs::DecodeTiff>, RawFormat::Tiff},
    {Reading<codecs::DecodeWebp>, RawFormat::Webp},
    {Reading<codecs::DecodeBmp>, RawFormat::Bmp},
    {Reading<codecs::DecodeGif>, RawFormat::Gif},
    {Reading<codecs::DecodeJpeg>, RawFormat::Jpeg},
    {Reading<codecs::DecodeIconAsPicture>, RawFormat::Icon},
};

}  // namespace

codecs::CodecStatus DecodeByContent(std::span<uint8_t> file, codecs::DecodedPicture& out,
                                    GUID& rawFormat) {
    for (const FormatEntry& format : Formats) {
        codecs::DecodedPicture picture;
        const codecs::CodecStatus status = format.decode(file, picture);
        if (status == codecs::CodecStatus::NotMyFormat) continue;
        if (status == codecs::CodecStatus::Ok) {
            out = std::move(picture);
            rawFormat = format.rawFormat;
        }
        return status;
    }
    return codecs::CodecStatus::NotMyFormat;
}

}  // namespace pic2pnm

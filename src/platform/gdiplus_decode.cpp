#include "platform/gdiplus_decode.h"

namespace pic2pnm {
namespace {

using Decoder = codecs::CodecStatus (*)(codecs::FileView, codecs::DecodedPicture&);

struct FormatEntry {
    Decoder decode;
    GUID rawFormat;
};

// Each decoder checks its own signature. The icon header (a few zero bytes and a small
// count) is the weakest signature of the design's formats, so icons and cursors come after
// them; then our own Netpbm and QOI decoders and the formats read through libheif and libjxl;
// TGA has no signature at all and only a wholly consistent file counts, so it is tried last.
constexpr FormatEntry Formats[] = {
    {codecs::DecodePng, RawFormat::Png},
    {codecs::DecodeTiff, RawFormat::Tiff},
    {codecs::DecodeWebp, RawFormat::Webp},
    {codecs::DecodeBmp, RawFormat::Bmp},
    {codecs::DecodeGif, RawFormat::Gif},
    {codecs::DecodeJpeg, RawFormat::Jpeg},
    {codecs::DecodeIconAsPicture, RawFormat::Icon},
    {codecs::DecodePnm, RawFormat::Pnm},
    {codecs::DecodeQoi, RawFormat::Qoi},
    {codecs::DecodeHeif, RawFormat::Heif},
    {codecs::DecodeAvif, RawFormat::Avif},
    {codecs::DecodeJxl, RawFormat::Jxl},
    {codecs::DecodeTga, RawFormat::Tga},
};

}  // namespace

codecs::CodecStatus DecodeByContent(codecs::FileView file, codecs::DecodedPicture& out,
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

#include "codecs/common/codec_registry.h"

#include "codecs/common/codec_libraries.h"
#include "codecs/common/codecs.h"

namespace pic2pnm::codecs {
namespace {

// libheif with the HEVC and AV1 decoders the program puts in its place (libde265, dav1d): all
// three are opened together, before a confined decode closes the door on further libraries.
bool HeifLibrariesLoad() {
    De265();
    Dav1d();
    return Heif() != nullptr;
}

constexpr CodecEntry Registry[] = {
    {"png", LooksLikePng, DecodePng, RawFormatIds::Png, false, "", nullptr, DecodePngInPlace},
    {"tiff", LooksLikeTiff, DecodeTiff, RawFormatIds::Tiff, false, "libtiff.so",
     [] { return Tiff() != nullptr; }},
    {"webp", LooksLikeWebp, DecodeWebp, RawFormatIds::Webp, false, "libwebp.so",
     [] { return WebP() != nullptr; }},
    {"bmp", LooksLikeBmp, DecodeBmp, RawFormatIds::Bmp, true, "", nullptr},
    {"gif", LooksLikeGif, DecodeGif, RawFormatIds::Gif, true, "libgif.so",
     [] { return Gif() != nullptr; }},
    {"jpeg", LooksLikeJpeg, DecodeJpeg, RawFormatIds::Jpeg, true, "libturbojpeg.so",
     [] { return TurboJpeg() != nullptr; }},
    {"icon", LooksLikeIcon, DecodeIconAsPicture, RawFormatIds::Icon, false, "", nullptr},
    {"pnm", LooksLikePnm, DecodePnm, RawFormatIds::Pnm, false, "", nullptr},
    {"qoi", LooksLikeQoi, DecodeQoi, RawFormatIds::Qoi, false, "", nullptr},
    {"heif", LooksLikeHeif, DecodeHeif, RawFormatIds::Heif, false, "libheif.so", HeifLibrariesLoad},
    {"avif", LooksLikeAvif, DecodeAvif, RawFormatIds::Avif, false, "libheif.so", HeifLibrariesLoad},
    {"jxl", LooksLikeJxl, DecodeJxl, RawFormatIds::Jxl, false, "libjxl.so",
     [] { return Jxl() != nullptr; }},
    // No signature at all: only a wholly consistent file counts, so it is tried last.
    {"tga", LooksLikeTga, DecodeTga, RawFormatIds::Tga, false, "", nullptr},
};

}  // namespace

std::span<const CodecEntry> CodecRegistry() {
    return Registry;
}

const CodecEntry* FindCodec(std::string_view name) {
    for (const CodecEntry& entry : Registry) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace pic2pnm::codecs

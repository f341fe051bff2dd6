#include "imaging/gdiplus/gdiplus_decode.h"

#include "codecs/common/codec_child.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/common/codec_registry.h"
#include "imaging/gdiplus/gdiplus_images.h"

namespace pic2pnm {
namespace {

// Each decoder checks its own signature, so every row is asked in turn.
codecs::CodecResult TryEveryRow(std::span<uint8_t> file, codecs::ChildDecode& out) {
    const codecs::DecodeLimits& limits = codecs::LoaderDecodeLimits();
    const std::span<const codecs::CodecEntry> rows = codecs::CodecRegistry();
    for (size_t row = 0; row < rows.size(); ++row) {
        const codecs::CodecEntry& format = rows[row];
        codecs::DecodedPicture picture;
        const codecs::CodecResult result = format.decodeInPlace != nullptr
                                               ? format.decodeInPlace(file, limits, picture)
                                               : format.decode(file, limits, picture);
        if (result.status == codecs::CodecStatus::NotMyFormat) continue;
        if (result.IsOk()) {
            // The parent reads a child's pixels and never writes them: they are made opaque
            // here, where AddGdipImage would have.
            if (out.confined && !picture.HasAlpha() && picture.pixels) MakeOpaque(*picture.pixels);
            out.picture = std::move(picture);
            out.row = static_cast<uint32_t>(row);
        }
        return result;
    }
    return codecs::Refuse("picture: no decoder knows the file's signature");
}

}  // namespace

codecs::CodecResult DecodeByContent(std::span<uint8_t> file, codecs::DecodedPicture& out,
                                    const codecs::CodecEntry*& format,
                                    const std::function<void()>& releaseFile) {
    // The rows decode in a confined child: whatever a codec library does with the bytes, the
    // worst is a picture that cannot be decoded.
    codecs::ChildDecode decoded;
    const codecs::CodecResult result = codecs::DecodeConfined(
        file, codecs::ChildTask::Picture,
        [file](codecs::ChildDecode& child) { return TryEveryRow(file, child); }, decoded,
        releaseFile);
    if (result.IsOk()) {
        out = std::move(decoded.picture);
        format = &codecs::CodecRegistry()[decoded.row];
    }
    return result;
}

}  // namespace pic2pnm

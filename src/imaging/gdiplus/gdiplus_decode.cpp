#include "imaging/gdiplus/gdiplus_decode.h"

#include "codecs/common/codec_child.h"
#include "codecs/common/codec_registry.h"
#include "imaging/gdiplus/gdiplus_images.h"

namespace pic2pnm {
namespace {

// Each decoder checks its own signature, so every row is asked in turn.
codecs::CodecStatus TryEveryRow(std::span<uint8_t> file, codecs::ChildDecode& out) {
    const std::span<const codecs::CodecEntry> rows = codecs::CodecRegistry();
    for (size_t row = 0; row < rows.size(); ++row) {
        const codecs::CodecEntry& format = rows[row];
        codecs::DecodedPicture picture;
        const codecs::CodecStatus status = format.decodeInPlace != nullptr
                                               ? format.decodeInPlace(file, picture)
                                               : format.decode(file, picture);
        if (status == codecs::CodecStatus::NotMyFormat) continue;
        if (status == codecs::CodecStatus::Ok) {
            // The parent reads a child's pixels and never writes them: they are made opaque
            // here, where AddGdipImage would have.
            if (out.confined && !picture.hasAlpha && picture.pixels) MakeOpaque(*picture.pixels);
            out.picture = std::move(picture);
            out.row = static_cast<uint32_t>(row);
        }
        return status;
    }
    return codecs::CodecStatus::NotMyFormat;
}

}  // namespace

codecs::CodecStatus DecodeByContent(std::span<uint8_t> file, codecs::DecodedPicture& out,
                                    GUID& rawFormat, const std::function<void()>& releaseFile) {
    // The rows decode in a confined child: whatever a codec library does with the bytes, the
    // worst is a picture that cannot be decoded.
    codecs::ChildDecode result;
    const codecs::CodecStatus status = codecs::DecodeConfined(
        file, codecs::ChildTask::Picture,
        [file](codecs::ChildDecode& decoded) { return TryEveryRow(file, decoded); }, result,
        releaseFile);
    if (status == codecs::CodecStatus::Ok) {
        out = std::move(result.picture);
        rawFormat = ToGuid(codecs::CodecRegistry()[result.row].rawFormat);
    }
    return status;
}

}  // namespace pic2pnm

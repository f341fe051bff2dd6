#include "imaging/gdiplus/gdiplus_decode.h"

#include "codecs/common/codec_registry.h"

namespace pic2pnm {

codecs::CodecStatus DecodeByContent(std::span<uint8_t> file, codecs::DecodedPicture& out,
                                    GUID& rawFormat) {
    // Each decoder checks its own signature, so every row is asked in turn.
    for (const codecs::CodecEntry& format : codecs::CodecRegistry()) {
        codecs::DecodedPicture picture;
        const codecs::CodecStatus status = format.decodeInPlace != nullptr
                                               ? format.decodeInPlace(file, picture)
                                               : format.decode(file, picture);
        if (status == codecs::CodecStatus::NotMyFormat) continue;
        if (status == codecs::CodecStatus::Ok) {
            out = std::move(picture);
            rawFormat = ToGuid(format.rawFormat);
        }
        return status;
    }
    return codecs::CodecStatus::NotMyFormat;
}

}  // namespace pic2pnm

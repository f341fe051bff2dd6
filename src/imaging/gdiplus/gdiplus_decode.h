// Which decoder a GDI+ image comes from: the file's content decides, never its name.
#pragma once

#include <functional>

#include "codecs/common/codec_registry.h"
#include "codecs/common/decoded_picture.h"
#include "codecs/common/raw_format.h"
#include "imaging/gdi/win32_types.h"

namespace pic2pnm {

// The raw-format GUID an image reports, from the codec layer's identifier.
constexpr GUID ToGuid(const codecs::RawFormatId& id) {
    return GUID{id.data1,
                id.data2,
                id.data3,
                {id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5],
                 id.data4[6], id.data4[7]}};
}

// Tries the codec registry's rows in turn, in a confined child (codecs/common/codec_child.h),
// with the loaders' limits, until one recognises the file. NotMyFormat when none does;
// otherwise the recogniser's result, and on Ok the picture and the row that decoded it; Corrupt
// when the child failed. A decoder may rearrange the file's bytes while it works; they are as they
// were again on return. `releaseFile`, when given, frees the file's bytes once a confined child has
// them (the bytes are then gone on return).
codecs::CodecResult DecodeByContent(std::span<uint8_t> file, codecs::DecodedPicture& out,
                                    const codecs::CodecEntry*& format,
                                    const std::function<void()>& releaseFile = {});

}  // namespace pic2pnm

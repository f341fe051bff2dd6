// Every picture format the decoders read, one row each. The GDI+ stand-in tries the rows in
// order; the native loader takes the rows marked for it; the fuzz targets and the tests
// shared by all decoders walk the same rows. A new format is one more row here.
#pragma once

#include <span>
#include <string_view>

#include "codecs/common/decode_limits.h"
#include "codecs/common/decoded_picture.h"
#include "codecs/common/raw_format.h"

namespace pic2pnm::codecs {

struct CodecEntry {
    // Lower case; also the prefix of the format's source files, test data folder, hostile
    // files and fuzz target.
    std::string_view name;
    // The signature alone. Whenever it is false, decode gives NotMyFormat.
    bool (*looksLike)(FileView file);
    CodecResult (*decode)(FileView file, const DecodeLimits& limits, DecodedPicture& out);
    RawFormatId rawFormat;
    // The native loader makes a bitmap picture of this format (icons and metafiles have
    // loaders of their own there).
    bool nativeBitmap;
    // The library the decoder opens at run time, as its file name begins ("libgif.so"), and
    // whether it can be opened with every function the decoder calls; empty and null for a
    // decoder that needs none at run time.
    std::string_view runtimeLibrary;
    bool (*runtimeLibraryLoads)();
    // The same decoder, allowed to rearrange the file's bytes while it works (they are as they
    // were again on return): the program's own path when there is one, for the speed it buys.
    // Null for the decoders that only read.
    CodecResult (*decodeInPlace)(std::span<uint8_t> file, const DecodeLimits& limits,
                                 DecodedPicture& out) = nullptr;
};

// In the order the GDI+ stand-in tries them: icons and cursors, whose signature is the
// weakest, come last.
std::span<const CodecEntry> CodecRegistry();

// The row of that name; null when there is none.
const CodecEntry* FindCodec(std::string_view name);

}  // namespace pic2pnm::codecs

// Every picture format the decoders read, one row each. The GDI+ stand-in tries the rows in
// order; the native loader takes the rows marked for it; the fuzz targets and the tests
// shared by all decoders walk the same rows. A format is a folder of its own,
// src/codecs/<name>/, whose <name>_codec.cpp defines its row as codecs::<name>::Codec, and one
// line in src/codecs/formats.txt, from which the build makes the list of rows.
#pragma once

#include <span>
#include <string_view>

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"
#include "codecs/common/raw_format.h"

namespace pic2pnm::codecs {

// What a decoder does when the library it opens at run time cannot be opened.
enum class WithoutLibrary {
    Fails,           // LibraryMissing: the user is told as for a broken file
    NotImplemented,  // Unsupported, "Not implemented" to the user: the format is optional
    Slower,          // decodes all the same, by a slower road of the program's own
};

struct CodecLibraryUse {
    // Opens the library (and whatever it needs beside it) with every function the decoder
    // calls; false when it cannot. Null for a decoder that opens none at run time.
    bool (*open)() = nullptr;
    WithoutLibrary without = WithoutLibrary::Fails;
};

// One row, written with designated initialisers in the format's folder.
struct CodecEntry {
    // Lower case; also the format's folder and the prefix of its source files, test data
    // folder, hostile files and fuzz target.
    std::string_view name;
    // The signature alone. Whenever it is false, decode gives NotMyFormat.
    bool (*looksLike)(FileView file) = nullptr;
    CodecResult (*decode)(FileView file, const DecodeLimits& limits, DecodedPicture& out) = nullptr;
    RawFormatId rawFormat{};
    // The native loader makes a bitmap picture of this format (icons and metafiles have
    // loaders of their own there).
    bool nativeBitmap = false;
    // The library the decoder opens at run time, if any. The decode child opens it before its
    // filter goes on whenever the row's signature check accepts the file.
    CodecLibraryUse library{};
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

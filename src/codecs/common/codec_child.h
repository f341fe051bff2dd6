// Decoding in a confined child process. Both loaders hand the file's bytes to a decoder here;
// the decoder runs in a child (runtime/confined_child.h) that sends a small fixed record, which
// the parent checks field by field before it believes any of it, and then copies the pixel
// stores the record names out of the child's memory into stores of its own. A child that
// crashes, aborts, makes a forbidden call, runs out of time or memory, or lies, is one more
// picture that cannot be decoded (Corrupt, with the reason of the child's end).
#pragma once

#include <cstdint>
#include <functional>

#include "codecs/common/codecs.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// What the child decodes, which says which parts of ChildDecode it fills.
enum class ChildTask : uint32_t {
    Picture = 1,   // `picture`, and `row` when the decoder tried the registry's rows
    Icon,          // `icon`
    PlaceableWmf,  // `wmf`
    Emf,           // `emf`
};

struct ChildDecode {
    CodecResult result;  // the decode's status, and why it refused the file
    uint32_t row = 0;    // the CodecRegistry() row that decoded the picture
    DecodedPicture picture;
    DecodedIcon icon;
    PlaceableWmfHeader wmf;
    EmfHeader emf;
    // Set for the decoder when it runs in the child, whose pixel stores the parent then only
    // reads.
    bool confined = false;
};

// Runs `decode` in a confined child and returns its result, with what the task fills in `out`.
// `file` is the input the decoder reads; the libraries of the formats whose signature it
// carries are opened before the child is confined. `releaseFile`, when given, frees the
// parent's copy of the file as soon as the child is confined, before the child writes to its
// own (a decoder that rearranges the bytes in place), so that no page is copied; `file` is not
// to be read afterwards. Without confinement (PIC2PNM_SANDBOX=0, or a system that cannot
// confine) `decode` runs here, in the process, and `releaseFile` is not called.
CodecResult DecodeConfined(FileView file, ChildTask task,
                           const std::function<CodecResult(ChildDecode&)>& decode, ChildDecode& out,
                           const std::function<void()>& releaseFile = {});

}  // namespace pic2pnm::codecs

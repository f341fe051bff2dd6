// pic2pnm_decode_reason FILE: the status and, for a refusal, the reason the GDI+ stand-in's
// decode gives the file, as "Status<TAB>reason" on one line (the reason empty when Ok). It
// takes the program's own road: the input reader, then every registry row in turn in a
// confined decode child, whose record carries the reason back (PIC2PNM_SANDBOX=0 decodes in
// this process instead, as the program does). Built with the tests, for the tests that hold a
// file to its reason; exit status 0 when the file was read, 2 when it could not be.
#include <cstdio>

#include "codecs/common/codec_reasons.h"
#include "imaging/gdiplus/gdiplus_decode.h"
#include "imaging/input/picture_file.h"

int main(int argc, char** argv) {
    using namespace pic2pnm;
    if (argc != 2) {
        std::fprintf(stderr, "usage: pic2pnm_decode_reason FILE\n");
        return 2;
    }
    PictureFileBytes bytes;
    if (ReadPictureFile(argv[1], bytes) != PictureFileStatus::Ok) {
        std::fprintf(stderr, "pic2pnm_decode_reason: cannot read %s\n", argv[1]);
        return 2;
    }
    codecs::DecodedPicture picture;
    const codecs::CodecEntry* row = nullptr;
    const codecs::CodecResult result = DecodeByContent({bytes.Data(), bytes.Size()}, picture, row);
    const std::string_view status = codecs::CodecStatusName(result.status);
    std::printf("%.*s\t%s\n", static_cast<int>(status.size()), status.data(),
                result.reason != nullptr ? result.reason : "");
    return 0;
}

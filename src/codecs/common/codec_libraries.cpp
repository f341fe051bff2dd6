#include "codecs/common/codec_libraries.h"

#include "testing/testing_hooks.h"

namespace pic2pnm::codecs {
namespace {

struct Soname {
    std::string_view library;
    const char* soname;
};

// Made by the build from src/codecs/formats.txt (cmake/codec_formats.cmake). A test build of
// the program compiles a copy of this file beside a table of its own.
constexpr Soname Sonames[] = {
#include "codec_library_sonames.inc"
};

bool librariesMissing = false;
bool librariesSealed = false;

}  // namespace

// A library opened for good: the program ends soon after its one conversion, and the
// libraries' own clean-up at exit stays as the dynamic linker runs it.
void* OpenCodecLibrary(std::string_view name) {
    if (librariesMissing || librariesSealed) return nullptr;
    for (const Soname& entry : Sonames) {
        if (entry.library == name) return ::dlopen(entry.soname, RTLD_NOW | RTLD_LOCAL);
    }
    return nullptr;
}

void SealCodecLibraries() {
    librariesSealed = true;
}

bool CodecLibrariesSealed() {
    return librariesSealed;
}

bool CodecLibrariesMissing() {
    return librariesMissing;
}

}  // namespace pic2pnm::codecs

namespace pic2pnm {

void SetCodecLibrariesMissingForTesting(bool missing) {
    codecs::librariesMissing = missing;
}

}  // namespace pic2pnm

// The codec libraries (libtiff, libheif, ...) are opened the first time a picture needs one of
// them, not when the program starts: a conversion then loads the library of its own format and
// no other (libtiff alone brings seven more). Each format that opens one describes it in its own
// folder: a table of the functions its decoder calls, loaded here by the library's name in
// src/codecs/formats.txt, from which the build takes the name the dynamic linker knows it by.
#pragma once

#include <dlfcn.h>

#include <string_view>

namespace pic2pnm::codecs {

// The library of that name in src/codecs/formats.txt ("tiff"), opened for good; null when it
// cannot be found, when the libraries are sealed, or when the tests make them all missing.
void* OpenCodecLibrary(std::string_view name);

// From now on no library is opened: a table not yet loaded is reported missing. A decode
// child opens what its input needs and then seals, before its filter forbids opening files.
void SealCodecLibraries();

bool CodecLibrariesSealed();
bool CodecLibrariesMissing();  // the tests' switch (SetCodecLibrariesMissingForTesting)

// Looks up every function of a table in one library; incomplete when the library or any
// function is missing.
class CodecLibrarySymbols {
  public:
    explicit CodecLibrarySymbols(void* library)
        : library_(library), complete_(library != nullptr) {}

    template <typename Function>
    void operator()(Function& function, const char* name) {
        function = nullptr;
        if (library_ != nullptr) function = reinterpret_cast<Function>(::dlsym(library_, name));
        if (function == nullptr) complete_ = false;
    }

    bool Complete() const { return complete_; }

  private:
    void* library_;
    bool complete_;
};

// A format's table, loaded by `Load` the first time it is asked for (unless the libraries are
// sealed by then); null when it is not complete.
template <typename Table, Table (*Load)(bool& complete)>
const Table* CodecLibraryOnce() {
    if (CodecLibrariesMissing()) return nullptr;
    static bool complete = false;
    static const Table table = CodecLibrariesSealed() ? Table{} : Load(complete);
    return complete ? &table : nullptr;
}

}  // namespace pic2pnm::codecs

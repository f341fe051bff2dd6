// The whole load-and-extract path the program runs on a file: the native picture loader, then
// GDI+ when it fails, then the copy of the bitmap's pixels. Whatever the input, every GDI
// object, GDI+ image, GDI+ start-up and numbered file must be released again afterwards. The
// decoders run in this process, as in every fuzz target but fuzz_confined_load.
#include "fuzz_load.h"
#include "testing/testing_hooks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pic2pnm::SetConfinementOffForFuzzing(true);
    pic2pnm::fuzzing::LoadAndCheckReleases(data, size, "fuzz_load_path");
    return 0;
}

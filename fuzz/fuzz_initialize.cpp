// Start-up shared by every fuzz target: the loaders, which decode with their own limits, refuse
// pictures above the targets' cap as too large, as the targets' own decodes do (FuzzLimits).
#include "fuzz_checks.h"
#include "testing/testing_hooks.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    pic2pnm::SetPixelCountCapForFuzzing(pic2pnm::fuzzing::FuzzPixelCap);
    return 0;
}

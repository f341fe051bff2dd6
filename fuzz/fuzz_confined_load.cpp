// The load path as the program runs it, every decode in a confined child: whatever the input,
// each child must end with its record. A child that crashes, aborts, makes a forbidden system
// call, runs out of time or ends without its record is a finding; its sanitizer report, which
// the parent passes on, shows where. Slower than the other targets by a fork a decode.
#include "fuzz_load.h"
#include "runtime/confined_child.h"
#include "testing/testing_hooks.h"

namespace {

void RequireRecord(int end, int detail) {
    if (end == static_cast<int>(pic2pnm::ChildEnd::Reported)) return;
    std::fprintf(
        stderr, "fuzz_confined_load: the decode child %.*s (%d)\n",
        static_cast<int>(pic2pnm::ChildEndName(static_cast<pic2pnm::ChildEnd>(end)).size()),
        pic2pnm::ChildEndName(static_cast<pic2pnm::ChildEnd>(end)).data(), detail);
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool observing = [] {
        pic2pnm::SetConfinementOffForFuzzing(false);
        pic2pnm::SetConfinedChildObserver(RequireRecord);
        return true;
    }();
    (void)observing;
    pic2pnm::fuzzing::LoadAndCheckReleases(data, size, "fuzz_confined_load");
    return 0;
}

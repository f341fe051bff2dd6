// The program with the decode child's test hooks set from the environment, for the end-to-end
// tests of the sandbox (decode_child_test.cpp); built for the tests only, never installed.
//
//   PIC2PNM_CHILD_FAULT        crash, abort, spin, allocate, open, socket, execve, lie or short:
//                              what every decode child does in place of decoding
//   PIC2PNM_CHILD_CPU_SECONDS  the child's CPU-time limit
//   PIC2PNM_CHILD_WALL_MS      the child's wall-clock limit
//   PIC2PNM_CHILD_ENDS         when set, how each decode child ended, one line on standard
//                              error ("decode child: reported 0"), to tally over a corpus
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "frontend/main_sequence.h"
#include "runtime/confined_child.h"
#include "testing/testing_hooks.h"

namespace {

using pic2pnm::DecodeChildFault;

uint32_t Setting(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? 0 : static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
}

}  // namespace

int main(int argc, char** argv) {
    static const std::map<std::string, DecodeChildFault> faults = {
        {"crash", DecodeChildFault::Crash},       {"abort", DecodeChildFault::Abort},
        {"spin", DecodeChildFault::Spin},         {"allocate", DecodeChildFault::AllocateForever},
        {"open", DecodeChildFault::Open},         {"socket", DecodeChildFault::Socket},
        {"execve", DecodeChildFault::Execve},     {"lie", DecodeChildFault::LyingRecord},
        {"short", DecodeChildFault::ShortRecord},
    };
    const char* fault = std::getenv("PIC2PNM_CHILD_FAULT");
    if (fault != nullptr && faults.count(fault) != 0)
        pic2pnm::SetDecodeChildFaultForTesting(faults.at(fault));
    pic2pnm::SetDecodeChildTimeLimitsForTesting(Setting("PIC2PNM_CHILD_CPU_SECONDS"),
                                                Setting("PIC2PNM_CHILD_WALL_MS"));
    if (std::getenv("PIC2PNM_CHILD_ENDS") != nullptr) {
        pic2pnm::SetConfinedChildObserver([](int end, int detail) {
            const std::string_view name =
                pic2pnm::ChildEndName(static_cast<pic2pnm::ChildEnd>(end));
            std::fprintf(stderr, "decode child: %.*s %d\n", static_cast<int>(name.size()),
                         name.data(), detail);
        });
    }
    return pic2pnm::RunProcess(argc, argv);
}

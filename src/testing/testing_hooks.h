// Every switch the tests and fuzz targets turn to reach paths that real files cannot reach
// on demand. The program itself never calls them. Each lives in the source file whose state
// it changes; this header only gathers their declarations, and includes nothing of ours, so
// that any layer may define a hook without depending on another.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace pic2pnm {

// Lowers the largest pixel count the loaders' decodes accept (LoaderDecodeLimits), so that
// fuzzing the whole load path does not spend its time on huge allocations. 0 restores the
// normal limit.
void SetPixelCountCapForFuzzing(int64_t maxPixels);

// While true, every codec library opened at run time is reported missing, as on a machine
// without it; the libraries already opened stay open.
void SetCodecLibrariesMissingForTesting(bool missing);

// Makes GetDC fail, so that callers' handling of a missing screen device context is tested.
void SetScreenDcUnavailableForTesting(bool unavailable);

// Turns the confinement of decoding off, so that fuzz targets decode in their own process at
// full speed; false turns it on again (as PIC2PNM_SANDBOX decides).
void SetConfinementOffForFuzzing(bool off);

// What the next decode children do in place of decoding, once confined, to show that each
// such end is caught: touch memory they do not have, abort, spin, allocate without end, call
// what the filter forbids (creating a file, a socket, running a shell), or send a record that
// lies about the pixels or stops half way.
enum class DecodeChildFault {
    None,
    Crash,
    Abort,
    Spin,
    AllocateForever,
    Open,
    Socket,
    Execve,
    LyingRecord,
    ShortRecord,
};
void SetDecodeChildFaultForTesting(DecodeChildFault fault);
// Shorter limits of CPU time and wall-clock time for decode children; 0 restores the normal
// ones.
void SetDecodeChildTimeLimitsForTesting(uint32_t cpuSeconds, uint32_t wallMilliseconds);

// Sees every decode that refused its file, after the decode child (or the process itself, when
// it decodes without one) is done: the status (a CodecStatus) and the reason, a static text of
// the codecs' table of reasons. The loaders decode through the same path, so a test build of
// the program tells with it why a file was refused.
using DecodeRefusalObserver = std::function<void(int status, const char* reason)>;
void SetDecodeRefusalObserver(DecodeRefusalObserver observer);

// Sees how every confined child ended (the value of ChildEnd, runtime/confined_child.h) and
// its signal or exit status.
using ConfinedChildObserver = std::function<void(int end, int detail)>;
void SetConfinedChildObserver(ConfinedChildObserver observer);

// Sees the text of every WriteText call, in order, before it is buffered.
using FileWriteObserver = std::function<void(int32_t number, std::string_view block)>;
void SetFileWriteObserver(FileWriteObserver observer);

}  // namespace pic2pnm

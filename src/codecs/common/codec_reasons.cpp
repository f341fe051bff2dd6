#include "codecs/common/codec_reasons.h"

#include <cstring>

namespace pic2pnm::codecs {
namespace {

// "format: cause": a lower-case name, a colon and a space, then printable text up to the
// length the decode child's record holds.
consteval bool IsWellFormed(const char* text) {
    size_t length = 0;
    while (text[length] >= 'a' && text[length] <= 'z') ++length;
    if (length == 0 || text[length] != ':' || text[length + 1] != ' ') return false;
    for (length += 2; text[length] != '\0'; ++length)
        if (text[length] < 0x20 || text[length] > 0x7E) return false;
    return length <= LongestCodecReason;
}

consteval bool EveryReasonIsWellFormedAndOnce() {
    for (const CodecReason& reason : CodecReasons) {
        if (!IsWellFormed(reason.text) || reason.status == CodecStatus::Ok) return false;
        size_t same = 0;
        for (const CodecReason& other : CodecReasons)
            if (reasons::SameText(reason.text, other.text)) ++same;
        if (same != 1) return false;
    }
    return true;
}

static_assert(EveryReasonIsWellFormedAndOnce(),
              "a reason is not 'format: cause' within the record's length, or is there twice");

}  // namespace

const char* FindCodecReason(std::string_view text) {
    for (const CodecReason& reason : CodecReasons)
        if (text == reason.text) return reason.text;
    return nullptr;
}

CodecStatus StatusOfCodecReason(const char* reason) {
    for (const CodecReason& entry : CodecReasons)
        if (reason != nullptr && std::strcmp(entry.text, reason) == 0) return entry.status;
    return CodecStatus::Corrupt;
}

std::string_view CodecStatusName(CodecStatus status) {
    switch (status) {
        case CodecStatus::Ok: return "Ok";
        case CodecStatus::NotMyFormat: return "NotMyFormat";
        case CodecStatus::Corrupt: return "Corrupt";
        case CodecStatus::TooLarge: return "TooLarge";
        case CodecStatus::OutOfMemory: return "OutOfMemory";
        case CodecStatus::Unsupported: return "Unsupported";
        case CodecStatus::LibraryMissing: return "LibraryMissing";
    }
    return "unknown";
}

}  // namespace pic2pnm::codecs

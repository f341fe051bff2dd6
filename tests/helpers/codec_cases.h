// A codec registry row's test data, read from tests/codecs/<row>/<row>_cases.txt, the file
// beside the row's own tests: the conformance test runs its checks over every row with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pic2pnm::testing {

using Bytes = std::vector<uint8_t>;

// Bytes kept of a fixture: a count, or half the file.
inline constexpr size_t Half = SIZE_MAX;

struct CutShort {
    std::string file;
    size_t keep;
};

struct CapCase {
    std::string file;
    std::string reference;  // a picture of the same size, read by the reference reader
};

// Where a prefix of a whole file stops being NotMyFormat and where it becomes a picture;
// between the two it is Corrupt.
struct PrefixRule {
    size_t signatureLength;
    size_t (*decodesFrom)(const Bytes& whole);
};

// A row's test data, from tests/codecs/<row>/<row>_cases.txt: one line a case, its kind first.
//   decodes FILE               Ok, and NotMyFormat to every other row
//   foreign FILE               one more file this row leaves alone
//   cut FILE KEEP|half         Corrupt
//   capped FILE REFERENCE      the pixel-count cap, with a picture of the same size
//   damaged FILE               damaged bytes give a status; "damage SEED TRIALS" sets how
//   prefix FILE                every prefix gets its status, by "prefix-rule SIGNATURE RULE":
//                              NotMyFormat below SIGNATURE bytes, Ok from where RULE says
//                              (whole-file, whole-but-the-trailer, first-scan-data,
//                              last-image-data), else Corrupt
//   skip CHECK WHY...          why a check (cut, damaged, prefix) has no data for this row
// Lines starting with # are comments.
struct CodecCases {
    std::vector<std::string> decodes;
    std::vector<std::string> foreign;
    std::vector<CutShort> cutShort;
    std::vector<CapCase> capped;
    std::vector<std::string> damaged;
    uint32_t damageSeed = 12345;
    int damageTrials = 0;
    std::vector<std::string> everyPrefix;
    PrefixRule prefixRule = {0, nullptr};
    std::map<std::string, std::string, std::less<>> skipped;  // check -> why
    std::vector<std::string> problems;                        // lines not understood
};

std::filesystem::path CodecCasesFile(std::string_view row);

CodecCases ReadCodecCases(std::string_view row);

}  // namespace pic2pnm::testing

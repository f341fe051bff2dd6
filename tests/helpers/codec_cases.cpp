#include "helpers/codec_cases.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace pic2pnm::testing {

namespace {

size_t WholeButTheTrailer(const Bytes& whole) {
    EXPECT_EQ(whole.back(), 0x3B) << "the file does not end in its trailer";
    return whole.size() - 1;
}

size_t WholeFile(const Bytes& whole) {
    return whole.size();
}

// A JPEG is a picture (the rest grey) once the headers up to its first scan are all there.
size_t FirstScanData(const Bytes& whole) {
    for (size_t i = 0; i + 3 < whole.size(); ++i)
        if (whole[i] == 0xFF && whole[i + 1] == 0xDA)
            return i + 2 + ((size_t{whole[i + 2]} << 8) | whole[i + 3]);
    ADD_FAILURE() << "no scan header";
    return whole.size();
}

// A PNG is a picture once the data of its last image data chunk is there; the chunk's
// checksum and the end chunk may be missing.
size_t LastImageData(const Bytes& whole) {
    size_t end = whole.size();
    for (size_t at = 8; at + 12 <= whole.size();) {
        const size_t length = size_t{whole[at]} << 24 | size_t{whole[at + 1]} << 16 |
                              size_t{whole[at + 2]} << 8 | whole[at + 3];
        if (std::string(whole.begin() + at + 4, whole.begin() + at + 8) == "IDAT")
            end = at + 8 + length;
        at += 12 + length;
    }
    return end;
}

const std::map<std::string, size_t (*)(const Bytes&), std::less<>> PrefixRules = {
    {"whole-file", WholeFile},
    {"whole-but-the-trailer", WholeButTheTrailer},
    {"first-scan-data", FirstScanData},
    {"last-image-data", LastImageData},
};

}  // namespace

std::filesystem::path CodecCasesFile(std::string_view row) {
    return std::filesystem::path(PIC2PNM_TESTS_FOLDER) / "codecs" / row /
           (std::string(row) + "_cases.txt");
}

CodecCases ReadCodecCases(std::string_view row) {
    CodecCases cases;
    std::ifstream in(CodecCasesFile(row));
    if (!in) cases.problems.push_back("no file " + CodecCasesFile(row).string());
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string kind, a, b;
        if (!(fields >> kind) || kind[0] == '#') continue;
        fields >> a >> b;
        bool understood = !a.empty();
        if (kind == "decodes")
            cases.decodes.push_back(a);
        else if (kind == "foreign")
            cases.foreign.push_back(a);
        else if (kind == "damaged")
            cases.damaged.push_back(a);
        else if (kind == "prefix")
            cases.everyPrefix.push_back(a);
        else if (kind == "capped" && !b.empty())
            cases.capped.push_back({a, b});
        else if (kind == "cut" && !b.empty())
            cases.cutShort.push_back({a, b == "half" ? Half : std::stoul(b)});
        else if (kind == "damage" && !b.empty()) {
            cases.damageSeed = static_cast<uint32_t>(std::stoul(a));
            cases.damageTrials = std::stoi(b);
        } else if (kind == "prefix-rule" && PrefixRules.count(b) == 1)
            cases.prefixRule = {std::stoul(a), PrefixRules.find(b)->second};
        else if (kind == "skip" && !b.empty()) {
            std::string rest;
            std::getline(fields, rest);
            cases.skipped[a] = b + rest;
        } else
            understood = false;
        if (!understood) cases.problems.push_back("not understood: " + line);
    }
    return cases;
}

}  // namespace pic2pnm::testing

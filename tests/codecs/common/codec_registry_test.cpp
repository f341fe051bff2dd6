// The codec registry's rows against one another and against every picture the tests hold:
// signatures that do not overlap, a decoder that leaves other formats alone, and a missing
// run-time library reported as such. (That each row decodes its own files and leaves the
// others' alone is the conformance test's.)
#include "codecs/common/codec_registry.h"
#include "helpers/codec_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "helpers/codec_cases.h"
#include "helpers/test_files.h"
#include "testing/testing_hooks.h"

namespace pic2pnm::codecs {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TestData;
using Bytes = std::vector<uint8_t>;

// One picture each row decodes: the first its cases name.
Bytes SampleOf(const CodecEntry& row) {
    const std::vector<std::string> decodes = testing::ReadCodecCases(row.name).decodes;
    return decodes.empty() ? Bytes{} : ReadFileBytes(TestData(decodes.front()));
}

TEST(CodecRegistry, RowsAreCompleteAndTellApart) {
    std::set<std::string_view> names;
    std::vector<RawFormatId> rawFormats;
    for (const CodecEntry& row : CodecRegistry()) {
        SCOPED_TRACE(std::string(row.name));
        EXPECT_TRUE(names.insert(row.name).second) << "name used twice";
        for (const RawFormatId& seen : rawFormats) EXPECT_FALSE(seen == row.rawFormat);
        rawFormats.push_back(row.rawFormat);
        EXPECT_NE(row.looksLike, nullptr);
        EXPECT_NE(row.decode, nullptr);
        EXPECT_EQ(FindCodec(row.name), &row);
    }
    EXPECT_EQ(FindCodec("no-such-format"), nullptr);
}

// Over every picture and hostile file the tests hold: a decoder whose signature check says
// no answers NotMyFormat, and one whose check says yes never does; and a file the native
// loader takes (the first native row whose signature accepts it) is claimed by no row before
// that one, so that both loaders give it to the same decoder.
TEST(CodecRegistry, SignatureAndDecoderAgreeOnEveryTestFile) {
    int files = 0;
    for (const fs::path& folder : {fs::path(TestData("")), fs::path(TestData("../hostile"))}) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            const Bytes file = ReadFileBytes(entry.path());
            ++files;
            const CodecEntry* firstClaim = nullptr;
            bool nativeClaimed = false;
            for (const CodecEntry& row : CodecRegistry()) {
                DecodedPicture picture;
                const bool looks = row.looksLike(file);
                EXPECT_EQ(row.decode(file, DefaultDecodeLimits, picture).status !=
                              CodecStatus::NotMyFormat,
                          looks)
                    << entry.path().string() << " by " << row.name;
                if (!looks) continue;
                if (firstClaim == nullptr) firstClaim = &row;
                if (row.nativeBitmap && !nativeClaimed) {
                    nativeClaimed = true;
                    EXPECT_EQ(firstClaim, &row) << entry.path().string() << " is claimed by "
                                                << firstClaim->name << " before " << row.name;
                }
            }
        }
    }
    EXPECT_GT(files, 1000);
}

// What a decoder answers when its run-time library is missing, as its row says. The formats
// whose libraries are optional at run time say so (Unsupported, "Not implemented" to the user);
// a decoder with a slower road of its own takes it; for the others a missing library is
// LibraryMissing, not Corrupt.
CodecStatus WithoutLibrary(const CodecEntry& row) {
    switch (row.library.without) {
        case WithoutLibrary::NotImplemented: return CodecStatus::Unsupported;
        case WithoutLibrary::Slower: return CodecStatus::Ok;
        case WithoutLibrary::Fails: break;
    }
    return CodecStatus::LibraryMissing;
}

// Without its run-time library a format's files get that answer; the other rows still leave
// them alone, and the library is found again once it is back.
TEST(CodecRegistry, MissingRuntimeLibraryIsReportedAsSuch) {
    int rowsWithLibrary = 0;
    for (const CodecEntry& row : CodecRegistry()) {
        if (row.library.open == nullptr) continue;
        SCOPED_TRACE(std::string(row.name));
        ++rowsWithLibrary;
        const Bytes sample = SampleOf(row);
        DecodedPicture picture;
        SetCodecLibrariesMissingForTesting(true);
        EXPECT_FALSE(row.library.open());
        EXPECT_EQ(row.decode(sample, DefaultDecodeLimits, picture), WithoutLibrary(row));
        EXPECT_EQ(picture.pixels != nullptr, WithoutLibrary(row) == CodecStatus::Ok);
        for (const CodecEntry& other : CodecRegistry()) {
            if (&other == &row) continue;
            EXPECT_EQ(other.decode(SampleOf(other), DefaultDecodeLimits, picture),
                      other.library.open != nullptr ? WithoutLibrary(other) : CodecStatus::Ok)
                << other.name;
        }
        SetCodecLibrariesMissingForTesting(false);
        EXPECT_TRUE(row.library.open());
        EXPECT_EQ(row.decode(sample, DefaultDecodeLimits, picture), CodecStatus::Ok);
    }
    EXPECT_GE(rowsWithLibrary, 1);
}

}  // namespace
}  // namespace pic2pnm::codecs

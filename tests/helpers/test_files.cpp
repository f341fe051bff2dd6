#include "helpers/test_files.h"

#include <stdlib.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace pic2pnm::testing {

std::filesystem::path TestData(const std::string& name) {
    return std::filesystem::path(PIC2PNM_TEST_DATA) / name;
}

std::string TestNameOf(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return text;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pic2pnm-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::string text = ReadFileText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFileText(const std::filesystem::path& path, const std::string& text) {
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace pic2pnm::testing

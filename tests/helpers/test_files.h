// Helpers for tests that read and write files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pic2pnm::testing {

// The folder of committed test pictures.
std::filesystem::path TestData(const std::string& name);

// A name GoogleTest accepts for a parameter: letters and digits kept, anything else '_'.
std::string TestNameOf(std::string text);

// A fresh, empty folder for one test, removed when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::string ReadFileText(const std::filesystem::path& path);
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::filesystem::path& path, const std::string& text);

}  // namespace pic2pnm::testing

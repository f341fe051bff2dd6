// Reading what the program printed, and the manifests that say what it must print.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pic2pnm::testing {

std::vector<std::string> SplitLines(const std::string& text);

// "Error N: text", N in decimal or as 0x and eight upper-case hexadecimal digits.
bool IsErrorLine(const std::string& line);

// The rows of a tab-separated manifest, each a map from the column names of its first line to
// the row's fields; lines starting with # are notes.
std::vector<std::map<std::string, std::string>> ReadManifestRows(
    const std::filesystem::path& manifest);

}  // namespace pic2pnm::testing

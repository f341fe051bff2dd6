#include "helpers/console_lines.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace pic2pnm::testing {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

bool IsErrorLine(const std::string& line) {
    static const std::regex pattern("Error ([0-9]+|0x[0-9A-F]{8}): .+");
    return std::regex_match(line, pattern);
}

std::vector<std::map<std::string, std::string>> ReadManifestRows(
    const std::filesystem::path& manifest) {
    std::ifstream in(manifest);
    std::vector<std::map<std::string, std::string>> rows;
    std::vector<std::string> header;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) fields.push_back(field);
        if (header.empty()) {
            header = fields;
            continue;
        }
        std::map<std::string, std::string>& named = rows.emplace_back();
        for (size_t i = 0; i < header.size() && i < fields.size(); ++i)
            named[header[i]] = fields[i];
    }
    return rows;
}

}  // namespace pic2pnm::testing

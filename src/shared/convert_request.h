// One parsed command line.
#pragma once

#include <cstdint>
#include <string>

namespace pic2pnm {

enum OutputTypeCode : int32_t { OutputPbm = 0, OutputPgm = 1, OutputPpm = 2 };

struct ConvertRequest {
    std::string InFileName;
    std::string OutFileName;
    int32_t OutputType = OutputPbm;
    bool NoComment = false;
};

}  // namespace pic2pnm

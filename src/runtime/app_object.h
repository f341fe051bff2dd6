// The run-time's application object: title, executable name and version.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pic2pnm {

struct AppObject {
    std::string Title;
    std::string EXEName;  // file name of the executable, without directory and extension
    int16_t Major = 0;
    int16_t Minor = 0;
    int16_t Revision = 0;
};

// The program's own application object.
AppObject& App();

// Sets the executable name from the program path the process was started with.
void SetAppExecutablePath(std::string_view argv0);

}  // namespace pic2pnm

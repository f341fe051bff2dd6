// The console object of the support libraries: every line the program shows goes through it.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/app_object.h"

namespace pic2pnm {

class SupportConsoleObject {
  public:
    // Writes the application's title and version as one line.
    void WriteAppHeader(const AppObject& app, int32_t flags);
    // Closing call of a run inside the development environment; nothing to do here.
    void Finish(int32_t flags);
    // Writes the text and a line feed to standard output (or standard error, see below) as
    // one line: control characters in the text are shown as '?' (PrintableLine), so that no
    // file name can break a line or fake one. Raises 57 when the write fails.
    void PrintLine(std::string_view text, int32_t flags);
    // From now on the lines go to standard error: standard output carries the picture.
    void UseStandardError() { toStandardError_ = true; }

  private:
    bool toStandardError_ = false;
};

SupportConsoleObject& SupportConsole();

}  // namespace pic2pnm

// The command-line object of the support libraries and its argument list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pic2pnm {

class ArgumentsObject {
  public:
    // The number of arguments, not counting the program name.
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // The argument at the zero-based index; raises 9 outside the list.
    const std::string& Item(int32_t index) const;
    // Replaces the arguments by those of a command-line string: split at blanks, with double
    // quotes grouping blanks into one argument. The flag is accepted and has no effect.
    void SetCommandLine(std::string_view text, bool flag);
    // Replaces the arguments by those the shell gave the process (without the program name).
    void SetItems(std::vector<std::string> items) { items_ = std::move(items); }

  private:
    std::vector<std::string> items_;
};

class SupportCommandLineObject {
  public:
    ArgumentsObject& Arguments() { return arguments_; }

  private:
    ArgumentsObject arguments_;
};

SupportCommandLineObject& SupportCommandLine();

}  // namespace pic2pnm

#include "support/support_command_line.h"

#include "runtime/run_time_error.h"

namespace pic2pnm {

const std::string& ArgumentsObject::Item(int32_t index) const {
    if (index < 0 || index >= Count()) RaiseError(ErrorNumber::SubscriptOutOfRange);
    return items_[static_cast<size_t>(index)];
}

void ArgumentsObject::SetCommandLine(std::string_view text, bool) {
    std::vector<std::string> items;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) items.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) items.push_back(std::move(current));
    items_ = std::move(items);
}

SupportCommandLineObject& SupportCommandLine() {
    static SupportCommandLineObject commandLine;
    return commandLine;
}

}  // namespace pic2pnm

// A console line shown as `ls` shows a name on a terminal: a text that is printed as it is,
// except for characters that would move the cursor, end the line or start a terminal command.
#pragma once

#include <string>
#include <string_view>

namespace pic2pnm {

// The text with every control character (U+0000 to U+001F, U+007F and, written in UTF-8,
// U+0080 to U+009F) and every byte that is not part of a valid UTF-8 sequence replaced by '?'.
std::string PrintableLine(std::string_view text);

}  // namespace pic2pnm

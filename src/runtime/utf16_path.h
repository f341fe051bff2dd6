// Paths cross the GDI+ interface as UTF-16 text. File names on Linux are bytes, so bytes that
// are not valid UTF-8 travel as lone surrogates U+DC80..U+DCFF and come back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace pic2pnm {

std::u16string PathToUtf16(std::string_view path);
std::string Utf16ToPath(std::u16string_view text);

}  // namespace pic2pnm

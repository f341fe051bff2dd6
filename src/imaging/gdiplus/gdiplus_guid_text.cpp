// StringFromGUID2, which works without GDI+ being started.
#include <cstddef>
#include <cstdint>

#include "imaging/gdiplus/gdiplus.h"

namespace pic2pnm {
namespace {

// "{" 8 "-" 4 "-" 4 "-" 4 "-" 12 "}" and the NUL.
constexpr int GuidTextLength = 39;

char16_t* AppendHex(char16_t* out, uint64_t value, int digits) {
    constexpr char hexDigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i)
        *out++ = static_cast<char16_t>(hexDigits[(value >> (4 * i)) & 0xF]);
    return out;
}

}  // namespace

int StringFromGUID2(const GUID& guid, char16_t* buffer, int capacity) {
    if (buffer == nullptr || capacity < GuidTextLength) return 0;
    char16_t* out = buffer;
    *out++ = u'{';
    out = AppendHex(out, guid.Data1, 8);
    *out++ = u'-';
    out = AppendHex(out, guid.Data2, 4);
    *out++ = u'-';
    out = AppendHex(out, guid.Data3, 4);
    *out++ = u'-';
    out = AppendHex(out, (uint64_t{guid.Data4[0]} << 8) | guid.Data4[1], 4);
    *out++ = u'-';
    uint64_t node = 0;
    for (size_t i = 2; i < 8; ++i) node = (node << 8) | guid.Data4[i];
    out = AppendHex(out, node, 12);
    *out++ = u'}';
    *out = u'\0';
    return GuidTextLength;
}

}  // namespace pic2pnm

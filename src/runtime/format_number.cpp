#include "runtime/format_number.h"

namespace pic2pnm {

std::string FormatNumber(int64_t value, std::string_view zeroPattern) {
    const bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    if (digits.size() < zeroPattern.size())
        digits.insert(0, zeroPattern.size() - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

}  // namespace pic2pnm

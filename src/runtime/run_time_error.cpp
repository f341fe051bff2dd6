#include "runtime/run_time_error.h"

#include <new>

namespace pic2pnm {

std::string_view StandardDescription(int32_t number) {
    switch (number) {
        case 5: return "Invalid procedure call or argument";
        case 6: return "Overflow";
        case 7: return "Out of memory";
        case 9: return "Subscript out of range";
        case 52: return "Bad file name or number";
        case 53: return "File not found";
        case 55: return "File already open";
        case 57: return "Device I/O error";
        case 61: return "Disk full";
        case 67: return "Too many files";
        case 70: return "Permission denied";
        case 75: return "Path/File access error";
        case 76: return "Path not found";
        case 481: return "Invalid picture";
        default: return {};
    }
}

void RaiseError(int32_t number, std::string_view description) {
    if (description.empty()) description = StandardDescription(number);
    throw RuntimeError(number, std::string(description));
}

void ErrObject::SetFromCurrentException() noexcept {
    try {
        throw;
    } catch (const RuntimeError& e) {
        Number = e.Number();
        try {
            Description = e.Description();
        } catch (...) {
            Description.clear();
        }
    } catch (const std::bad_alloc&) {
        Number = ErrorNumber::OutOfMemory;
        Description.assign(StandardDescription(ErrorNumber::OutOfMemory));
    } catch (...) {
        Number = ErrorNumber::InvalidCall;
        Description.assign(StandardDescription(ErrorNumber::InvalidCall));
    }
}

ErrObject& Err() {
    static ErrObject err;
    return err;
}

}  // namespace pic2pnm

#include <array>
#include <string>

#include "picture/picture_loader.h"

namespace pic2pnm {

std::string GdipStatusText(int32_t Status) {
    // "Accedd denied" (12) is spelt so on purpose: callers and users match this exact text.
    static constexpr std::array<const char*, 21> messages = {
        "Unknown error",                // Ok
        "Generic error",                // GenericError
        "Invalid parameter",            // InvalidParameter
        "Invalid picture",              // OutOfMemory: what GDI+ says of a file it cannot decode
        "Object busy",                  // ObjectBusy
        "Insufficient buffer",          // InsufficientBuffer
        "Not implemented",              // NotImplemented
        "Win32 error",                  // Win32Error
        "Wrong state",                  // WrongState
        "Operation was aborted",        // Aborted
        "File not found",               // FileNotFound
        "Value overflow",               // ValueOverflow
        "Accedd denied",                // AccessDenied
        "Unknown image format",         // UnknownImageFormat
        "Font family not found",        // FontFamilyNotFound
        "Font style not found",         // FontStyleNotFound
        "Not a TrueType font",          // NotTrueTypeFont
        "Unsupported library version",  // UnsupportedGdiplusVersion
        "Library not initialized",      // GdiplusNotInitialized
        "Property not found",           // PropertyNotFound
        "Property not supported",       // PropertyNotSupported
    };
    if (Status >= 0 && Status < static_cast<int32_t>(messages.size()))
        return messages[static_cast<size_t>(Status)];
    return "Unknown error " + std::to_string(Status);
}

}  // namespace pic2pnm

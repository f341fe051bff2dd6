#include "picture/format_codes.h"

#include "runtime/ucase.h"

#include <array>
#include <utility>

namespace pic2pnm {

int32_t FormatTypeFromGuid(std::string_view GuidText) {
    // In the order they are compared.
    static constexpr std::array<std::pair<std::string_view, int32_t>, 13> guids = {{
        {"{B96B3CA9-0728-11D3-9D7B-0000F81EF32E}", FormatCode::Undefined},
        {"{B96B3CAA-0728-11D3-9D7B-0000F81EF32E}", FormatCode::MemoryBitmap},
        {"{B96B3CAB-0728-11D3-9D7B-0000F81EF32E}", FormatCode::WindowsBitmap},
        {"{B96B3CAC-0728-11D3-9D7B-0000F81EF32E}", FormatCode::EnhancedMetafile},
        {"{B96B3CAD-0728-11D3-9D7B-0000F81EF32E}", FormatCode::WindowsMetafile},
        {"{B96B3CB0-0728-11D3-9D7B-0000F81EF32E}", FormatCode::Gif},
        {"{B96B3CB5-0728-11D3-9D7B-0000F81EF32E}", FormatCode::WindowsIcon},
        {"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}", FormatCode::Jpeg},
        {"{B96B3CAF-0728-11D3-9D7B-0000F81EF32E}", FormatCode::Png},
        {"{B96B3CB1-0728-11D3-9D7B-0000F81EF32E}", FormatCode::Tiff},
        {"{B96B3CB2-0728-11D3-9D7B-0000F81EF32E}", FormatCode::Exif},
        {"{B96B3CB4-0728-11D3-9D7B-0000F81EF32E}", FormatCode::FlashPix},
        {"{B96B3CB3-0728-11D3-9D7B-0000F81EF32E}", FormatCode::PhotoCd},
    }};
    const std::string upper = UCase(GuidText);
    for (const auto& [text, code] : guids)
        if (upper == text) return code;
    return FormatCode::Unknown;
}

std::string FormatName(int32_t FormatType) {
    switch (FormatType) {
        case FormatCode::Nothing: return "Nothing";
        case FormatCode::WindowsBitmap: return "Windows bitmap";
        case FormatCode::Jpeg: return "JPEG";
        case FormatCode::Gif: return "CompuServe GIF";
        case FormatCode::WindowsMetafile: return "Windows metafile";
        case FormatCode::EnhancedMetafile: return "Enhanced metafile";
        case FormatCode::WindowsIcon: return "Windows icon";
        case FormatCode::WindowsCursor: return "Windows cursor";
        case FormatCode::Png: return "Portable network graphics";
        case FormatCode::Tiff: return "Tagged image file format";
        // Spelt so on purpose: the format name is shown and compared exactly as it stands.
        case FormatCode::Exif: return "Exchangable Image Format";
        case FormatCode::FlashPix: return "FlashPix";
        case FormatCode::PhotoCd: return "Photo CD";
        case FormatCode::MemoryBitmap: return "Memory stored bitmap";
        case FormatCode::Undefined: return "Undefined";
        default: return "Unknown";
    }
}

}  // namespace pic2pnm

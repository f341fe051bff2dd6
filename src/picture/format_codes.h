// Format codes of the picture information and their display names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pic2pnm {

namespace FormatCode {
inline constexpr int32_t Nothing = 0;
inline constexpr int32_t WindowsBitmap = 1;
inline constexpr int32_t Jpeg = 2;
inline constexpr int32_t Gif = 3;
inline constexpr int32_t WindowsMetafile = 4;
inline constexpr int32_t EnhancedMetafile = 5;
inline constexpr int32_t WindowsIcon = 6;
inline constexpr int32_t WindowsCursor = 7;
inline constexpr int32_t Png = 8;
inline constexpr int32_t Tiff = 12;
inline constexpr int32_t Exif = 13;
inline constexpr int32_t FlashPix = 14;
inline constexpr int32_t PhotoCd = 15;
inline constexpr int32_t MemoryBitmap = 69;
inline constexpr int32_t Undefined = 98;
inline constexpr int32_t Unknown = 99;
}  // namespace FormatCode

// The code of a GDI+ raw-format GUID in registry form (any letter case); 99 when unknown.
int32_t FormatTypeFromGuid(std::string_view GuidText);

// The display name of a format code; "Unknown" for codes not in the table.
std::string FormatName(int32_t FormatType);

}  // namespace pic2pnm

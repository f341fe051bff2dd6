// The raw-format identifier a decoded picture reports, in the codec layer's own terms: each
// registry row names its format's, and the GDI+ stand-in turns it into its GUID.
#pragma once

#include <array>
#include <cstdint>

namespace pic2pnm::codecs {

struct RawFormatId {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    friend constexpr bool operator==(const RawFormatId&, const RawFormatId&) = default;
};

// The image formats GDI+ knows share the last three parts of their identifier: BMP B96B3CAB,
// JPEG B96B3CAE, PNG B96B3CAF, GIF B96B3CB0, TIFF B96B3CB1, icons B96B3CB5.
constexpr RawFormatId ImageFormatId(uint32_t data1) {
    return RawFormatId{data1, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

}  // namespace pic2pnm::codecs

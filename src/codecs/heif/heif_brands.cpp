#include "codecs/heif/heif_brands.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "codecs/common/byte_order.h"

namespace pic2pnm::codecs {
namespace {

constexpr std::array<std::string_view, 8> HevcBrands = {"heic", "heix", "heim", "heis",
                                                        "hevc", "hevx", "hevm", "hevs"};
constexpr std::array<std::string_view, 2> Av1Brands = {"avif", "avis"};
constexpr std::array<std::string_view, 2> ImageFileBrands = {"mif1", "msf1"};

template <size_t N>
bool IsOneOf(std::string_view brand, const std::array<std::string_view, N>& brands) {
    return std::find(brands.begin(), brands.end(), brand) != brands.end();
}

}  // namespace

HeifKind HeifKindOf(FileView file) {
    // The box: 32-bit size, "ftyp", major brand, minor version, then compatible brands; the
    // size counts the whole box and may not run past the file.
    constexpr size_t Least = 16;
    if (file.size() < Least) return HeifKind::None;
    const uint32_t boxSize = ReadBe32(file.data());
    if (std::string_view(reinterpret_cast<const char*>(file.data() + 4), 4) != "ftyp")
        return HeifKind::None;
    if (boxSize < Least || boxSize > file.size() || boxSize % 4 != 0) return HeifKind::None;

    const auto brandAt = [&](size_t offset) {
        return std::string_view(reinterpret_cast<const char*>(file.data() + offset), 4);
    };
    const std::string_view major = brandAt(8);
    bool hevc = IsOneOf(major, HevcBrands);
    bool av1 = IsOneOf(major, Av1Brands);
    bool imageFile = IsOneOf(major, ImageFileBrands);
    for (size_t offset = Least; offset + 4 <= boxSize; offset += 4) {
        const std::string_view brand = brandAt(offset);
        hevc = hevc || IsOneOf(brand, HevcBrands);
        av1 = av1 || IsOneOf(brand, Av1Brands);
        imageFile = imageFile || IsOneOf(brand, ImageFileBrands);
    }
    if (IsOneOf(major, Av1Brands) || (av1 && !hevc)) return HeifKind::Avif;
    if (hevc || imageFile) return HeifKind::Heif;
    return HeifKind::None;
}

}  // namespace pic2pnm::codecs

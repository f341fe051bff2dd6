#include "codecs/jpeg/jpeg_exif.h"
#include "codecs/common/byte_order.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace pic2pnm::codecs {
namespace {

constexpr uint16_t TagXResolution = 0x011A;
constexpr uint16_t TagYResolution = 0x011B;
constexpr uint16_t TagResolutionUnit = 0x0128;
constexpr uint16_t TypeShort = 3;
constexpr uint16_t TypeRational = 5;
constexpr size_t EntrySize = 12;

class TiffBytes {
  public:
    TiffBytes(FileView bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}
    std::optional<uint16_t> U16(size_t at) const {
        if (at > bytes_.size() || bytes_.size() - at < 2) return std::nullopt;
        const uint8_t* p = bytes_.data() + at;
        return bigEndian_ ? ReadBe16(p) : ReadLe16(p);
    }
    std::optional<uint32_t> U32(size_t at) const {
        auto high = U16(bigEndian_ ? at : at + 2);
        auto low = U16(bigEndian_ ? at + 2 : at);
        if (!high || !low) return std::nullopt;
        return (uint32_t{*high} << 16) | *low;
    }

  private:
    FileView bytes_;
    bool bigEndian_;
};

std::optional<double> RationalAt(const TiffBytes& tiff, uint32_t offset) {
    auto numerator = tiff.U32(offset);
    auto denominator = tiff.U32(size_t{offset} + 4);
    if (!numerator || !denominator || *denominator == 0) return std::nullopt;
    return static_cast<double>(*numerator) / *denominator;
}

}  // namespace

Resolution ReadExifResolution(FileView bytes) {
    if (bytes.size() < 8) return {};
    bool bigEndian = bytes[0] == 'M' && bytes[1] == 'M';
    if (!bigEndian && !(bytes[0] == 'I' && bytes[1] == 'I')) return {};
    TiffBytes tiff(bytes, bigEndian);
    auto directory = tiff.U32(4);
    if (tiff.U16(2) != 42 || !directory) return {};
    auto count = tiff.U16(*directory);
    if (!count) return {};

    std::optional<double> x, y;
    uint16_t unit = 2;  // inches unless the directory says otherwise
    for (size_t i = 0; i < *count; ++i) {
        size_t entry = size_t{*directory} + 2 + i * EntrySize;
        auto tag = tiff.U16(entry);
        auto type = tiff.U16(entry + 2);
        auto value = tiff.U32(entry + 8);
        if (!tag || !type || !value) break;  // the directory runs past the block
        if (*tag == TagXResolution && *type == TypeRational) x = RationalAt(tiff, *value);
        if (*tag == TagYResolution && *type == TypeRational) y = RationalAt(tiff, *value);
        if (*tag == TagResolutionUnit && *type == TypeShort) unit = tiff.U16(entry + 8).value_or(0);
    }
    if (!x || !y || *x <= 0 || *y <= 0) return {};
    double perInch = unit == 2 ? 1.0 : unit == 3 ? 2.54 : 0.0;
    if (perInch == 0) return {};
    return {static_cast<float>(*x * perInch), static_cast<float>(*y * perInch)};
}

}  // namespace pic2pnm::codecs

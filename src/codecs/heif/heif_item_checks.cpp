#include "codecs/heif/heif_item_checks.h"

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

#include "codecs/common/codec_reasons.h"
#include "codecs/heif/heif_structure.h"

namespace pic2pnm::codecs {
namespace {

// The item types libheif 1.15 holds as pictures.
bool IsPicture(const HeifItem* item) {
    if (item == nullptr) return false;
    for (const char* type : {"hvc1", "av01", "grid", "iden", "iovl"})
        if (item->type == type) return true;
    return false;
}

bool IsDerived(const HeifItem& item) {
    return item.type == "grid" || item.type == "iovl" || item.type == "iden";
}

// A big-endian field of `width` bytes at `at`, which the caller has checked lies inside.
uint32_t FieldAt(const std::vector<uint8_t>& data, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value = value << 8 | data[at + i];
    return value;
}

class Checker {
  public:
    Checker(FileView file, const HeifStructure& structure, const HeifLimits& limits)
        : file_(file), s_(structure), limits_(limits) {}

    CodecResult Check() {
        if (!s_.fault.IsOk()) return s_.fault;
        if (const CodecResult references = CheckReferences(); !references.IsOk()) return references;
        depth_.assign(s_.items.size(), UnknownDepth);
        for (const HeifItem& item : s_.items) {
            if (!IsDerived(item)) continue;
            if (Depth(item, 1) > limits_.derivationDepth)
                return Refuse("heif: derived pictures stand deeper than the limits allow");
            const CodecResult sound = item.type == "grid"   ? CheckGrid(item)
                                      : item.type == "iovl" ? CheckOverlay(item)
                                                            : Decoded;
            if (!sound.IsOk()) return sound;
        }
        return Decoded;
    }

  private:
    static constexpr uint32_t UnknownDepth = UINT32_MAX;

    // Every reference names listed items other than its own, and an item has one reference
    // of each kind: libheif reads only the first. The pictures a derived picture is made of,
    // and the picture whose alpha plane or thumbnail a picture is, are pictures: libheif looks
    // them up among its pictures without checking that it found one.
    CodecResult CheckReferences() {
        for (size_t r = 0; r < s_.references.size(); ++r) {
            const HeifReference& reference = s_.references[r];
            const HeifItem* from = s_.Find(reference.from);
            if (from == nullptr) return Refuse("heif: a reference from an item that is not there");
            const bool picturesOnly =
                reference.type == "dimg" ||
                (IsPicture(from) && (reference.type == "auxl" || reference.type == "thmb"));
            for (uint32_t target : Targets(reference)) {
                const HeifItem* to = s_.Find(target);
                if (target == reference.from || to == nullptr)
                    return Refuse("heif: a reference to its own item or one that is not there");
                if (picturesOnly && !IsPicture(to))
                    return Refuse("heif: a reference to a picture names an item that is none");
            }
            if (reference.type == "dimg") inputsOf_.push_back({reference.from, r});
        }
        std::sort(inputsOf_.begin(), inputsOf_.end());
        const auto sameItem = [](const auto& a, const auto& b) { return a.first == b.first; };
        if (std::adjacent_find(inputsOf_.begin(), inputsOf_.end(), sameItem) != inputsOf_.end())
            return Refuse("heif: a derived picture's inputs are listed twice");
        return Decoded;
    }

    std::span<const uint32_t> Targets(const HeifReference& reference) const {
        return std::span<const uint32_t>(s_.targets)
            .subspan(reference.firstTarget, reference.targetCount);
    }

    // The pictures a derived item is made from; none when it names none.
    std::span<const uint32_t> Inputs(uint32_t id) const {
        const auto at = std::lower_bound(inputsOf_.begin(), inputsOf_.end(),
                                         std::pair<uint32_t, size_t>{id, 0});
        if (at == inputsOf_.end() || at->first != id) return {};
        return Targets(s_.references[at->second]);
    }

    // How many derived pictures stand upon each other from `item` down, counting it; more
    // than the limit when deeper, or in a cycle (cut at the limit, so each item is walked
    // once).
    uint32_t Depth(const HeifItem& item, uint32_t level) {
        if (!IsDerived(item)) return 0;
        if (level > limits_.derivationDepth) return level;
        uint32_t& known = depth_[static_cast<size_t>(&item - s_.items.data())];
        if (known != UnknownDepth) return known;
        uint32_t deepest = 0;
        for (uint32_t input : Inputs(item.id))
            deepest = std::max(deepest, Depth(*s_.Find(input), level + 1));
        known = deepest + 1;
        return known;
    }

    // The grid's description: a version byte, a flags byte whose lowest bit widens the sizes
    // to 32 bits, rows - 1, columns - 1, then the width and height of the whole picture. Its
    // tiles are all of one size, as many as it says, cover the picture with no row or column
    // left wholly outside it, and cost no more than the picture; the picture is no larger
    // than the grid's stated size.
    CodecResult CheckGrid(const HeifItem& grid) const {
        constexpr CodecResult CutShort = Refuse("heif: a grid's description is cut short");
        const std::vector<uint8_t> data = s_.Data(file_, grid, 12);
        if (data.size() < 8) return CutShort;
        const size_t field = (data[1] & 1) != 0 ? 4 : 2;
        if (data.size() < 4 + 2 * field) return CutShort;
        const uint64_t rows = data[2] + 1u, columns = data[3] + 1u;
        const uint64_t width = FieldAt(data, 4, field), height = FieldAt(data, 4 + field, field);
        if (!grid.hasSize || width == 0 || height == 0 || width > grid.width ||
            height > grid.height)
            return Refuse("heif: a grid is empty or larger than its stated size");
        const std::span<const uint32_t> tiles = Inputs(grid.id);
        if (tiles.size() != rows * columns || tiles.size() > limits_.gridTiles)
            return Refuse("heif: a grid's tiles are not as many as it says, or too many");
        const HeifItem& first = *s_.Find(tiles[0]);
        const uint64_t tileWidth = first.width, tileHeight = first.height;
        for (uint32_t tile : tiles) {
            const HeifItem& item = *s_.Find(tile);
            if (!item.hasSize || item.width != tileWidth || item.height != tileHeight)
                return Refuse("heif: a grid's tiles differ in size");
        }
        if (tileWidth * tileHeight > width * height + limits_.tileAllowancePixels)
            return Refuse("heif: a grid's tiles are far larger than its picture");
        if (columns * tileWidth < width || (columns - 1) * tileWidth >= width ||
            rows * tileHeight < height || (rows - 1) * tileHeight >= height)
            return Refuse("heif: a grid's tiles do not cover the picture, or overhang it");
        return Decoded;
    }

    // The overlay's description: version, flags (the lowest bit widens the fields to 32
    // bits), a fill colour of four 16-bit values, the canvas's width and height, then where
    // each input's top left corner lies on it. libheif 1.15 reads outside an input placed at
    // a negative offset.
    CodecResult CheckOverlay(const HeifItem& overlay) const {
        constexpr CodecResult CutShort = Refuse("heif: an overlay's description is cut short");
        const std::span<const uint32_t> inputs = Inputs(overlay.id);
        if (inputs.empty() || inputs.size() > limits_.gridTiles)
            return Refuse("heif: an overlay of no inputs, or of more than the limits allow");
        const std::vector<uint8_t> data = s_.Data(file_, overlay, 2 + 8 + 8 * (inputs.size() + 1));
        if (data.size() < 2) return CutShort;
        const size_t field = (data[1] & 1) != 0 ? 4 : 2;
        const size_t canvas = 2 + 8;
        if (data.size() < canvas + 2 * field * (inputs.size() + 1)) return CutShort;
        const uint32_t width = FieldAt(data, canvas, field);
        const uint32_t height = FieldAt(data, canvas + field, field);
        if (!overlay.hasSize || width == 0 || height == 0 || width > overlay.width ||
            height > overlay.height)
            return Refuse("heif: an overlay is empty or larger than its stated size");
        const uint32_t negative = field == 4 ? 0x80000000u : 0x8000u;
        for (size_t i = 0; i < 2 * inputs.size(); ++i)
            if ((FieldAt(data, canvas + 2 * field + i * field, field) & negative) != 0)
                return Refuse("heif: an overlay input at a negative offset");
        return Decoded;
    }

    FileView file_;
    const HeifStructure& s_;
    const HeifLimits& limits_;
    std::vector<std::pair<uint32_t, size_t>> inputsOf_;  // (derived item, its "dimg" reference)
    std::vector<uint32_t> depth_;                        // by index in s_.items
};

}  // namespace

CodecResult CheckHeifItems(FileView file, const HeifLimits& limits) {
    const HeifStructure structure = ReadHeifStructure(file, limits);
    return Checker(file, structure, limits).Check();
}

}  // namespace pic2pnm::codecs

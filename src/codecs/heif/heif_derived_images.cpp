#include "codecs/heif/heif_derived_images.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "codecs/common/byte_order.h"

namespace pic2pnm::codecs {
namespace {

// A window on the file's bytes that reads forward and remembers when it ran out.
class Cursor {
  public:
    Cursor(FileView bytes, size_t begin, size_t end) : bytes_(bytes), at_(begin), end_(end) {}

    bool Ok() const { return ok_; }
    size_t At() const { return at_; }
    size_t End() const { return end_; }
    bool AtEnd() const { return at_ >= end_; }
    void MoveTo(size_t at) { at_ = at; }  // within [At(), End()]

    uint64_t Read(size_t width) {  // a big-endian field of 0, 1, 2, 4 or 8 bytes
        if (!ok_ || end_ - at_ < width) {
            ok_ = false;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) value = value << 8 | bytes_[at_ + i];
        at_ += width;
        return value;
    }
    std::string_view ReadType() {
        if (!ok_ || end_ - at_ < 4) {
            ok_ = false;
            return {};
        }
        const std::string_view type(reinterpret_cast<const char*>(bytes_.data() + at_), 4);
        at_ += 4;
        return type;
    }

  private:
    FileView bytes_;
    size_t at_;
    size_t end_;
    bool ok_ = true;
};

struct Box {
    std::string_view type;
    size_t body = 0;  // where its contents start
    size_t end = 0;
};

// The next box at the cursor, which is moved past it; nullopt at the end or when the box does
// not fit inside what holds it.
std::optional<Box> NextBox(Cursor& cursor) {
    if (cursor.AtEnd()) return std::nullopt;
    const size_t start = cursor.At();
    uint64_t size = cursor.Read(4);
    Box box;
    box.type = cursor.ReadType();
    if (size == 1) size = cursor.Read(8);
    if (!cursor.Ok()) return std::nullopt;
    const size_t available = cursor.End() - start;
    if (size == 0) size = available;  // to the end of what holds it
    const size_t header = cursor.At() - start;
    if (size < header || size > available) return std::nullopt;
    box.body = cursor.At();
    box.end = start + static_cast<size_t>(size);
    cursor.MoveTo(box.end);
    return box;
}

struct DerivedItem {
    uint32_t id = 0;
    bool overlay = false;  // "iovl"; otherwise "grid"
};

struct Extent {
    uint64_t offset = 0;
    uint64_t length = 0;
};

struct ItemLocation {
    uint32_t id = 0;
    uint16_t method = 0;  // 0: in the file, 1: in the "idat" box
    std::vector<Extent> extents;
};

struct Reference {
    uint32_t from = 0;
    uint32_t to = 0;
};

// The items the file lists: every item's number, and the grids and overlays among them.
struct ItemList {
    std::vector<uint32_t> ids;
    std::vector<DerivedItem> derived;
};

ItemList ReadItems(FileView file, const Box& iinf) {
    ItemList list;
    Cursor cursor(file, iinf.body, iinf.end);
    const uint64_t version = cursor.Read(1);
    cursor.Read(3);
    cursor.Read(version == 0 ? 2 : 4);  // the entry count: the boxes that follow tell
    while (cursor.Ok()) {
        const std::optional<Box> infe = NextBox(cursor);
        if (!infe) break;
        if (infe->type != "infe") continue;
        Cursor entry(file, infe->body, infe->end);
        const uint64_t entryVersion = entry.Read(1);
        entry.Read(3);
        const auto id = static_cast<uint32_t>(entry.Read(entryVersion == 3 ? 4 : 2));
        if (!entry.Ok()) continue;
        list.ids.push_back(id);
        if (entryVersion < 2) continue;  // no item types before version 2
        entry.Read(2);                   // protection index
        const std::string_view type = entry.ReadType();
        if (entry.Ok() && (type == "grid" || type == "iovl"))
            list.derived.push_back({id, type == "iovl"});
    }
    return list;
}

// Every reference of the "iref" box, whatever its kind, as pairs of item numbers.
std::vector<Reference> ReadReferences(FileView file, const Box& iref) {
    std::vector<Reference> references;
    Cursor cursor(file, iref.body, iref.end);
    const size_t idSize = cursor.Read(1) == 0 ? 2 : 4;
    cursor.Read(3);
    while (cursor.Ok()) {
        const std::optional<Box> kind = NextBox(cursor);
        if (!kind) break;
        Cursor refs(file, kind->body, kind->end);
        const auto from = static_cast<uint32_t>(refs.Read(idSize));
        const uint64_t count = refs.Read(2);
        for (uint64_t i = 0; i < count && refs.Ok(); ++i) {
            const auto to = static_cast<uint32_t>(refs.Read(idSize));
            if (refs.Ok()) references.push_back({from, to});
        }
    }
    return references;
}

// The boxes of the file's "meta" box that describe its items.
struct MetaBoxes {
    std::optional<Box> iinf, iloc, idat, iref;
};

std::optional<MetaBoxes> FindMetaBoxes(FileView file) {
    Cursor top(file, 0, file.size());
    std::optional<Box> meta;
    while (!meta) {
        const std::optional<Box> box = NextBox(top);
        if (!box) return std::nullopt;
        if (box->type == "meta") meta = box;
    }
    Cursor inside(file, meta->body, meta->end);
    inside.Read(4);  // version and flags
    MetaBoxes boxes;
    while (const std::optional<Box> box = NextBox(inside)) {
        if (box->type == "iinf") boxes.iinf = box;
        if (box->type == "iloc") boxes.iloc = box;
        if (box->type == "idat") boxes.idat = box;
        if (box->type == "iref") boxes.iref = box;
    }
    return boxes;
}

std::vector<ItemLocation> ReadLocations(FileView file, const Box& iloc) {
    std::vector<ItemLocation> locations;
    Cursor cursor(file, iloc.body, iloc.end);
    const uint64_t version = cursor.Read(1);
    cursor.Read(3);
    const uint64_t sizes = cursor.Read(2);
    const size_t offsetSize = sizes >> 12 & 15, lengthSize = sizes >> 8 & 15;
    const size_t baseOffsetSize = sizes >> 4 & 15;
    const size_t indexSize = version == 1 || version == 2 ? sizes & 15 : 0;
    const uint64_t count = cursor.Read(version < 2 ? 2 : 4);
    for (uint64_t i = 0; i < count && cursor.Ok(); ++i) {
        ItemLocation location;
        location.id = static_cast<uint32_t>(cursor.Read(version < 2 ? 2 : 4));
        if (version == 1 || version == 2) location.method = cursor.Read(2) & 15;
        cursor.Read(2);  // data reference index
        const uint64_t base = cursor.Read(baseOffsetSize);
        const uint64_t extents = cursor.Read(2);
        for (uint64_t e = 0; e < extents && cursor.Ok(); ++e) {
            cursor.Read(indexSize);
            const uint64_t offset = cursor.Read(offsetSize);
            const uint64_t length = cursor.Read(lengthSize);
            uint64_t at = 0;
            if (__builtin_add_overflow(base, offset, &at)) return {};
            location.extents.push_back({at, length});
        }
        if (cursor.Ok()) locations.push_back(std::move(location));
    }
    return locations;
}

// The first `want` bytes of an item's data, its extents joined; fewer when it has fewer.
std::vector<uint8_t> ItemBytes(FileView file, const ItemLocation& location, std::optional<Box> idat,
                               size_t want) {
    std::vector<uint8_t> bytes;
    size_t begin = 0, end = file.size();
    if (location.method == 1) {
        if (!idat) return bytes;
        begin = idat->body;
        end = idat->end;
    } else if (location.method != 0) {
        return bytes;
    }
    for (const Extent& extent : location.extents) {
        if (extent.offset > end - begin) break;
        const size_t from = begin + static_cast<size_t>(extent.offset);
        // A length of 0 runs to the end of the data.
        uint64_t length = extent.length == 0 ? end - from : extent.length;
        length = std::min<uint64_t>({length, end - from, want - bytes.size()});
        bytes.insert(bytes.end(), file.begin() + from, file.begin() + from + length);
        if (bytes.size() == want) break;
    }
    return bytes;
}

// The pixel count a grid's or an overlay's data states: a version byte, a flags byte whose
// lowest bit widens the sizes to 32 bits, the grid's rows and columns or the overlay's fill
// colour, then width and height.
uint64_t StatedArea(const std::vector<uint8_t>& data, bool overlay) {
    const size_t skip = overlay ? 2 + 8 : 4;
    if (data.size() < 2) return 0;
    const size_t field = (data[1] & 1) != 0 ? 4 : 2;
    if (data.size() < skip + 2 * field) return 0;
    Cursor cursor(FileView(data.data(), data.size()), skip, data.size());
    const uint64_t width = cursor.Read(field);
    const uint64_t height = cursor.Read(field);
    return width * height;  // at most 2^64 - 2^33 + 1
}

uint64_t LargestStatedArea(FileView file, const MetaBoxes& boxes, const ItemList& items) {
    if (items.derived.empty() || !boxes.iloc) return 0;
    const std::vector<ItemLocation> locations = ReadLocations(file, *boxes.iloc);
    uint64_t largest = 0;
    for (const DerivedItem& item : items.derived) {
        for (const ItemLocation& location : locations) {
            if (location.id != item.id) continue;
            const std::vector<uint8_t> data = ItemBytes(file, location, boxes.idat, 2 + 8 + 8);
            largest = std::max(largest, StatedArea(data, item.overlay));
        }
    }
    return largest;
}

bool AnyReferenceDangles(FileView file, const MetaBoxes& boxes, std::vector<uint32_t> ids) {
    if (!boxes.iref) return false;
    const std::vector<Reference> references = ReadReferences(file, *boxes.iref);
    std::sort(ids.begin(), ids.end());
    const auto listed = [&](uint32_t id) { return std::binary_search(ids.begin(), ids.end(), id); };
    return std::any_of(references.begin(), references.end(), [&](const Reference& reference) {
        return reference.from == reference.to || !listed(reference.from) || !listed(reference.to);
    });
}

}  // namespace

HeifItemFacts ReadHeifItemFacts(FileView file) {
    HeifItemFacts facts;
    const std::optional<MetaBoxes> boxes = FindMetaBoxes(file);
    if (!boxes) return facts;
    ItemList items;
    if (boxes->iinf) items = ReadItems(file, *boxes->iinf);
    facts.largestDerivedArea = LargestStatedArea(file, *boxes, items);
    facts.danglingReference = AnyReferenceDangles(file, *boxes, std::move(items.ids));
    return facts;
}

}  // namespace pic2pnm::codecs

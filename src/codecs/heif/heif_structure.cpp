#include "codecs/heif/heif_structure.h"

#include <algorithm>
#include <optional>

#include "codecs/common/codec_reasons.h"

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

// The next box at the cursor, which is moved past it; nullopt at the end. A box that does not
// fit inside what holds it makes the cursor fail.
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
    if (size < header || size > available) {
        cursor.Read(cursor.End() - cursor.At() + 1);  // fails
        return std::nullopt;
    }
    box.body = cursor.At();
    box.end = start + static_cast<size_t>(size);
    cursor.MoveTo(box.end);
    return box;
}

// The boxes of the "meta" box that describe the items, each found once.
struct MetaBoxes {
    std::optional<Box> pitm, iinf, iloc, iref, ipco, ipma, idat;
};

constexpr CodecResult CutShort = Refuse("heif: the item boxes are cut short or overrun their box");
constexpr CodecResult BoxTwice = Refuse("heif: an item box comes twice");
constexpr CodecResult ItemTwice = Refuse("heif: an item is listed twice");

class Reader {
  public:
    Reader(FileView file, const HeifLimits& limits) : file_(file), limits_(limits) {}

    HeifStructure Read() {
        const std::optional<MetaBoxes> boxes = FindBoxes();
        if (boxes && (!boxes->pitm || !boxes->iinf || !boxes->iloc || !boxes->ipco || !boxes->ipma))
            Fail(Refuse("heif: an item box is missing"));
        if (Failed()) return std::move(out_);
        if (boxes->idat) {
            out_.idatBegin = boxes->idat->body;
            out_.idatEnd = boxes->idat->end;
        }
        ReadPrimary(*boxes->pitm);
        ReadItems(*boxes->iinf);
        if (!Failed()) ReadLocations(*boxes->iloc);
        if (!Failed()) ReadProperties(*boxes->ipco, *boxes->ipma);
        if (!Failed() && boxes->iref) ReadReferences(*boxes->iref);
        return std::move(out_);
    }

  private:
    bool Failed() const { return !out_.fault.IsOk(); }
    void Fail(CodecResult fault) {
        if (!Failed()) out_.fault = fault;
    }
    // A cursor's failure is the file's.
    bool Check(const Cursor& cursor) {
        if (!cursor.Ok()) Fail(CutShort);
        return cursor.Ok();
    }
    HeifItem* Item(uint32_t id) { return const_cast<HeifItem*>(out_.Find(id)); }

    // The one "meta" box at the top, and the item boxes in it; a second of any is refused.
    std::optional<MetaBoxes> FindBoxes() {
        Cursor top(file_, 0, file_.size());
        std::optional<Box> meta;
        while (const std::optional<Box> box = NextBox(top)) {
            if (box->type != "meta") continue;
            if (meta) {
                Fail(Refuse("heif: the meta box comes twice"));
                return std::nullopt;
            }
            meta = box;
        }
        if (!Check(top) || !meta) {
            Fail(Refuse("heif: no meta box"));
            return std::nullopt;
        }
        MetaBoxes boxes;
        Cursor inside(file_, meta->body, meta->end);
        inside.Read(4);  // version and flags
        const auto keep = [this](std::optional<Box>& slot, const Box& box) {
            if (slot) Fail(BoxTwice);
            slot = box;
        };
        std::optional<Box> iprp;
        while (const std::optional<Box> box = NextBox(inside)) {
            if (box->type == "pitm") keep(boxes.pitm, *box);
            if (box->type == "iinf") keep(boxes.iinf, *box);
            if (box->type == "iloc") keep(boxes.iloc, *box);
            if (box->type == "iref") keep(boxes.iref, *box);
            if (box->type == "idat") keep(boxes.idat, *box);
            if (box->type == "iprp") keep(iprp, *box);
        }
        if (!Check(inside) || Failed() || !iprp) {
            Fail(Refuse("heif: an item box is missing"));
            return std::nullopt;
        }
        Cursor properties(file_, iprp->body, iprp->end);
        while (const std::optional<Box> box = NextBox(properties)) {
            if (box->type == "ipco") keep(boxes.ipco, *box);
            if (box->type == "ipma") keep(boxes.ipma, *box);
        }
        if (!Check(properties) || Failed()) return std::nullopt;
        return boxes;
    }

    void ReadPrimary(const Box& pitm) {
        Cursor cursor(file_, pitm.body, pitm.end);
        const uint64_t version = cursor.Read(1);
        cursor.Read(3);
        out_.primary = static_cast<uint32_t>(cursor.Read(version == 0 ? 2 : 4));
        Check(cursor);
    }

    void ReadItems(const Box& iinf) {
        Cursor cursor(file_, iinf.body, iinf.end);
        const uint64_t version = cursor.Read(1);
        cursor.Read(3);
        cursor.Read(version == 0 ? 2 : 4);  // the entry count: the boxes that follow tell
        while (const std::optional<Box> infe = NextBox(cursor)) {
            if (infe->type != "infe") continue;
            if (out_.items.size() == limits_.items)
                return Fail(Refuse("heif: more items than the limits allow"));
            Cursor entry(file_, infe->body, infe->end);
            const uint64_t entryVersion = entry.Read(1);
            entry.Read(3);
            HeifItem item;
            item.id = static_cast<uint32_t>(entry.Read(entryVersion == 3 ? 4 : 2));
            if (entryVersion >= 2) {
                entry.Read(2);  // protection index
                item.type = entry.ReadType();
            }
            if (!Check(entry)) return;
            out_.items.push_back(item);
        }
        if (!Check(cursor)) return;
        std::sort(out_.items.begin(), out_.items.end(),
                  [](const HeifItem& a, const HeifItem& b) { return a.id < b.id; });
        const auto same = [](const HeifItem& a, const HeifItem& b) { return a.id == b.id; };
        if (std::adjacent_find(out_.items.begin(), out_.items.end(), same) != out_.items.end())
            Fail(ItemTwice);
    }

    void ReadLocations(const Box& iloc) {
        Cursor cursor(file_, iloc.body, iloc.end);
        const uint64_t version = cursor.Read(1);
        cursor.Read(3);
        const uint64_t sizes = cursor.Read(2);
        const size_t offsetSize = sizes >> 12 & 15, lengthSize = sizes >> 8 & 15;
        const size_t baseOffsetSize = sizes >> 4 & 15;
        const size_t indexSize = version == 1 || version == 2 ? sizes & 15 : 0;
        const uint64_t count = cursor.Read(version < 2 ? 2 : 4);
        if (count > limits_.items)
            return Fail(Refuse("heif: more item locations than the limits allow"));
        for (uint64_t i = 0; i < count && cursor.Ok(); ++i) {
            const auto id = static_cast<uint32_t>(cursor.Read(version < 2 ? 2 : 4));
            uint16_t method = 0;
            if (version == 1 || version == 2) method = cursor.Read(2) & 15;
            cursor.Read(2);  // data reference index
            const uint64_t base = cursor.Read(baseOffsetSize);
            const uint64_t extents = cursor.Read(2);
            if (extents > limits_.extentsPerItem)
                return Fail(Refuse("heif: an item has more extents than the limits allow"));
            const auto first = static_cast<uint32_t>(out_.extents.size());
            for (uint64_t e = 0; e < extents; ++e) {
                cursor.Read(indexSize);
                const uint64_t offset = cursor.Read(offsetSize);
                const uint64_t length = cursor.Read(lengthSize);
                uint64_t at = 0;
                if (__builtin_add_overflow(base, offset, &at))
                    return Fail(Refuse("heif: an extent's offset overflows"));
                out_.extents.push_back({at, length});
            }
            HeifItem* item = Item(id);
            if (item == nullptr) continue;  // data of no item: libheif does not look at it
            if (item->located) return Fail(Refuse("heif: an item's location is given twice"));
            item->located = true;
            item->method = method;
            item->firstExtent = first;
            item->extentCount = static_cast<uint32_t>(extents);
        }
        Check(cursor);
    }

    void ReadProperties(const Box& ipco, const Box& ipma) {
        // Where each property's contents lie, and whether it is an image size.
        std::vector<Box> properties;
        Cursor list(file_, ipco.body, ipco.end);
        while (const std::optional<Box> property = NextBox(list)) {
            if (properties.size() == limits_.properties)
                return Fail(Refuse("heif: more properties than the limits allow"));
            properties.push_back(*property);
        }
        if (!Check(list)) return;

        Cursor cursor(file_, ipma.body, ipma.end);
        const uint64_t version = cursor.Read(1);
        const uint64_t flags = cursor.Read(3);
        const uint64_t count = cursor.Read(4);
        if (count > limits_.items)
            return Fail(Refuse("heif: more items with properties than the limits allow"));
        std::vector<uint32_t> seen;
        for (uint64_t i = 0; i < count && cursor.Ok(); ++i) {
            const auto id = static_cast<uint32_t>(cursor.Read(version < 1 ? 2 : 4));
            seen.push_back(id);
            HeifItem* item = Item(id);
            const uint64_t associations = cursor.Read(1);
            for (uint64_t a = 0; a < associations; ++a) {
                const uint64_t index =
                    cursor.Read((flags & 1) != 0 ? 2 : 1) & ((flags & 1) != 0 ? 0x7FFFu : 0x7Fu);
                if (item == nullptr || index == 0 || index > properties.size()) continue;
                const Box& property = properties[index - 1];
                if (property.type != "ispe") continue;
                Cursor size(file_, property.body, property.end);
                size.Read(4);
                const auto width = static_cast<uint32_t>(size.Read(4));
                const auto height = static_cast<uint32_t>(size.Read(4));
                if (!Check(size)) return;
                if (item->hasSize) return Fail(Refuse("heif: an item's size is given twice"));
                item->hasSize = true;
                item->width = width;
                item->height = height;
            }
        }
        if (!Check(cursor)) return;
        std::sort(seen.begin(), seen.end());
        if (std::adjacent_find(seen.begin(), seen.end()) != seen.end())
            Fail(Refuse("heif: an item's properties are listed twice"));
    }

    void ReadReferences(const Box& iref) {
        Cursor cursor(file_, iref.body, iref.end);
        const size_t idSize = cursor.Read(1) == 0 ? 2 : 4;
        cursor.Read(3);
        while (const std::optional<Box> kind = NextBox(cursor)) {
            Cursor refs(file_, kind->body, kind->end);
            HeifReference reference;
            reference.type = kind->type;
            reference.from = static_cast<uint32_t>(refs.Read(idSize));
            const uint64_t count = refs.Read(2);
            if (out_.targets.size() + count > limits_.referenceTargets)
                return Fail(Refuse("heif: more references than the limits allow"));
            reference.firstTarget = static_cast<uint32_t>(out_.targets.size());
            reference.targetCount = static_cast<uint32_t>(count);
            for (uint64_t i = 0; i < count; ++i)
                out_.targets.push_back(static_cast<uint32_t>(refs.Read(idSize)));
            if (!Check(refs)) return;
            out_.references.push_back(reference);
        }
        Check(cursor);
    }

    FileView file_;
    const HeifLimits& limits_;
    HeifStructure out_;
};

}  // namespace

const HeifItem* HeifStructure::Find(uint32_t id) const {
    const auto at =
        std::lower_bound(items.begin(), items.end(), id,
                         [](const HeifItem& item, uint32_t key) { return item.id < key; });
    return at != items.end() && at->id == id ? &*at : nullptr;
}

std::vector<uint8_t> HeifStructure::Data(FileView file, const HeifItem& item, size_t want) const {
    std::vector<uint8_t> bytes;
    size_t begin = 0, end = file.size();
    if (item.method == 1) {
        begin = idatBegin;
        end = idatEnd;
    } else if (item.method != 0) {
        return bytes;
    }
    for (uint32_t e = 0; e < item.extentCount && bytes.size() < want; ++e) {
        const HeifExtent& extent = extents[item.firstExtent + e];
        if (extent.offset > end - begin) break;
        const size_t from = begin + static_cast<size_t>(extent.offset);
        // A length of 0 runs to the end of the data.
        uint64_t length = extent.length == 0 ? end - from : extent.length;
        length = std::min<uint64_t>({length, end - from, want - bytes.size()});
        bytes.insert(bytes.end(), file.begin() + from, file.begin() + from + length);
    }
    return bytes;
}

HeifStructure ReadHeifStructure(FileView file, const HeifLimits& limits) {
    return Reader(file, limits).Read();
}

}  // namespace pic2pnm::codecs

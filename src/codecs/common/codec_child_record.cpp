#include "codecs/common/codec_child_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "codecs/common/codec_registry.h"
#include "runtime/shared_block.h"

namespace pic2pnm::codecs {
namespace {

static_assert(std::is_trivially_copyable_v<ChildDecodeRecord>);

constexpr uint32_t RecordMagic = 0x50324443;  // "CD2P"
constexpr uint32_t EmfHeaderType = 1;
constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
constexpr uint32_t SmallestEmfHeader = 88;

ChildStoreRecord StoreRecord(const std::shared_ptr<PixelStore>& store,
                             const ChildStorePlaces& places, bool& found) {
    if (store == nullptr) return {};
    for (const ChildStorePlace& place : places) {
        if (place.data != nullptr && place.data == store->Data())
            return {place.offset, store->Width(), store->Height()};
    }
    found = false;
    return {};
}

bool IsBitmapDepth(uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool IsFlag(uint8_t value) {
    return value == 0 || value == 1;
}

bool IsResolution(float dpi) {
    return std::isfinite(dpi) && dpi >= 0;
}

bool IsStore(const ChildStoreRecord& store, int64_t width, int64_t height) {
    return store.width == width && store.height == height;
}

bool IsNoStore(const ChildStoreRecord& store) {
    return store.width == 0 && store.height == 0 && store.offset == 0;
}

// The stores of the record over one mapping of the block: each must start on a page, hold a
// supported size, end inside the block and overlap no other.
bool MapStores(const ChildDecodeRecord& record, const MapSharedBytes& map,
               std::shared_ptr<PixelStore> (&stores)[2]) {
    uint64_t starts[2] = {};
    uint64_t ends[2] = {};
    uint64_t blockBytes = 0;
    for (int i = 0; i < 2; ++i) {
        const ChildStoreRecord& store = record.stores[i];
        if (IsNoStore(store)) continue;
        if (!IsPictureSizeSupported(store.width, store.height)) return false;
        if (store.offset % PageSize() != 0) return false;
        const uint64_t bytes = uint64_t(store.width) * uint64_t(store.height) * 4;
        if (store.offset > UINT64_MAX - bytes) return false;
        starts[i] = store.offset;
        ends[i] = store.offset + bytes;
        blockBytes = std::max(blockBytes, ends[i]);
    }
    if (ends[0] != 0 && ends[1] != 0 && starts[0] < ends[1] && starts[1] < ends[0]) return false;
    if (blockBytes == 0) return true;
    const std::shared_ptr<void> mapping = map(blockBytes);
    if (mapping == nullptr) return false;
    for (int i = 0; i < 2; ++i) {
        if (ends[i] == 0) continue;
        auto* data =
            reinterpret_cast<uint32_t*>(static_cast<std::byte*>(mapping.get()) + starts[i]);
        stores[i] =
            PixelStore::Over(record.stores[i].width, record.stores[i].height, data, mapping);
        if (stores[i] == nullptr) return false;
    }
    return true;
}

bool ReadPicture(const ChildDecodeRecord& r, const MapSharedBytes& map, ChildDecode& out) {
    if (r.row >= CodecRegistry().size()) return false;
    if (!IsPictureSizeSupported(r.width, r.height) || !IsBitmapDepth(r.bitsPerPixel) ||
        r.pixelFormat == 0 || !IsFlag(r.hasAlpha) || !IsFlag(r.premultipliedAlpha) ||
        !IsResolution(r.dpiX) || !IsResolution(r.dpiY))
        return false;
    if (!IsStore(r.stores[0], r.width, r.height) || !IsNoStore(r.stores[1])) return false;
    std::shared_ptr<PixelStore> stores[2];
    if (!MapStores(r, map, stores)) return false;
    out.row = r.row;
    DecodedPicture& picture = out.picture;
    picture.width = r.width;
    picture.height = r.height;
    picture.bitsPerPixel = r.bitsPerPixel;
    picture.pixelFormat = r.pixelFormat;
    picture.hasAlpha = r.hasAlpha != 0;
    picture.premultipliedAlpha = r.premultipliedAlpha != 0;
    picture.dpiX = r.dpiX;
    picture.dpiY = r.dpiY;
    picture.pixels = std::move(stores[0]);
    return true;
}

// A monochrome icon has its mask alone, twice as high; every other one a colour bitmap and a
// mask of the icon's size.
bool ReadIcon(const ChildDecodeRecord& r, const MapSharedBytes& map, ChildDecode& out) {
    if (!IsFlag(r.isIcon) || !IsPictureSizeSupported(r.width, r.height) ||
        !IsBitmapDepth(r.bitsPerPixel))
        return false;
    const bool monochrome = r.bitsPerPixel == 1;
    if (monochrome
            ? !IsNoStore(r.stores[0]) || !IsStore(r.stores[1], r.width, 2 * int64_t{r.height})
            : !IsStore(r.stores[0], r.width, r.height) || !IsStore(r.stores[1], r.width, r.height))
        return false;
    std::shared_ptr<PixelStore> stores[2];
    if (!MapStores(r, map, stores)) return false;
    DecodedIcon& icon = out.icon;
    icon.isIcon = r.isIcon != 0;
    icon.hotspotX = r.hotspotX;
    icon.hotspotY = r.hotspotY;
    icon.width = r.width;
    icon.height = r.height;
    icon.bitsPerPixel = r.bitsPerPixel;
    icon.color = std::move(stores[0]);
    icon.mask = std::move(stores[1]);
    return true;
}

// What ParseEmfHeader promises of the header it hands out.
bool IsEmfHeader(const EmfHeader& h) {
    return h.iType == EmfHeaderType && h.dSignature == EmfSignature &&
           h.nSize >= SmallestEmfHeader && h.nSize % 4 == 0 && h.nBytes >= h.nSize;
}

}  // namespace

ChildRecordBytes EncodeChildRecord(ChildTask task, const ChildDecode& decode,
                                   const ChildStorePlaces& places) {
    ChildDecodeRecord record{};
    record.magic = RecordMagic;
    record.task = static_cast<uint32_t>(task);
    record.status = static_cast<int32_t>(decode.status);
    const size_t reasonLength = std::min(decode.reason.size(), ChildReasonCapacity);
    record.reasonLength = static_cast<uint8_t>(reasonLength);
    std::memcpy(record.reason, decode.reason.data(), reasonLength);
    bool found = true;
    if (decode.status == CodecStatus::Ok) {
        switch (task) {
            case ChildTask::Picture: {
                const DecodedPicture& p = decode.picture;
                record.row = decode.row;
                record.width = p.width;
                record.height = p.height;
                record.pixelFormat = p.pixelFormat;
                record.bitsPerPixel = p.bitsPerPixel;
                record.hasAlpha = p.hasAlpha;
                record.premultipliedAlpha = p.premultipliedAlpha;
                record.dpiX = p.dpiX;
                record.dpiY = p.dpiY;
                record.stores[0] = StoreRecord(p.pixels, places, found);
                break;
            }
            case ChildTask::Icon: {
                const DecodedIcon& i = decode.icon;
                record.isIcon = i.isIcon;
                record.hotspotX = i.hotspotX;
                record.hotspotY = i.hotspotY;
                record.width = i.width;
                record.height = i.height;
                record.bitsPerPixel = i.bitsPerPixel;
                record.stores[0] = StoreRecord(i.color, places, found);
                record.stores[1] = StoreRecord(i.mask, places, found);
                break;
            }
            case ChildTask::PlaceableWmf: record.wmf = decode.wmf; break;
            case ChildTask::Emf: record.emf = decode.emf; break;
        }
    }
    if (!found) record.status = static_cast<int32_t>(CodecStatus::Corrupt);
    ChildRecordBytes bytes;
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

bool ReadChildRecord(const ChildRecordBytes& bytes, ChildTask task, const MapSharedBytes& map,
                     ChildDecode& out) {
    ChildDecodeRecord r;
    std::memcpy(&r, bytes.data(), sizeof r);
    if (r.magic != RecordMagic || r.task != static_cast<uint32_t>(task)) return false;
    if (r.status < static_cast<int32_t>(CodecStatus::Ok) ||
        r.status > static_cast<int32_t>(CodecStatus::LibraryMissing))
        return false;
    if (r.reasonLength > ChildReasonCapacity ||
        !std::all_of(r.reason, r.reason + r.reasonLength,
                     [](char c) { return c >= 0x20 && c < 0x7F; }))
        return false;
    out.status = static_cast<CodecStatus>(r.status);
    out.reason.assign(r.reason, r.reasonLength);
    if (out.status != CodecStatus::Ok) return true;
    switch (task) {
        case ChildTask::Picture: return ReadPicture(r, map, out);
        case ChildTask::Icon: return ReadIcon(r, map, out);
        case ChildTask::PlaceableWmf: out.wmf = r.wmf; return r.wmf.unitsPerInch != 0;
        case ChildTask::Emf: out.emf = r.emf; return IsEmfHeader(r.emf);
    }
    return false;
}

}  // namespace pic2pnm::codecs

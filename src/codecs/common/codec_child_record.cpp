#include "codecs/common/codec_child_record.h"
#include "codecs/common/codec_reasons.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "codecs/common/codec_registry.h"

namespace pic2pnm::codecs {
namespace {

static_assert(std::is_trivially_copyable_v<ChildDecodeRecord>);

constexpr uint32_t RecordMagic = 0x50324443;  // "CD2P"
constexpr uint32_t EmfHeaderType = 1;
constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
constexpr uint32_t SmallestEmfHeader = 88;

ChildStoreRecord StoreRecord(const std::shared_ptr<PixelStore>& store) {
    if (store == nullptr) return {};
    return {reinterpret_cast<uintptr_t>(store->Data()), store->Width(), store->Height()};
}

std::span<const std::byte> StoreRegion(const std::shared_ptr<PixelStore>& store) {
    if (store == nullptr) return {};
    return std::as_bytes(std::span(store->Data(), store->PixelCount()));
}

bool IsIconImageBits(uint32_t bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

// What SourceFormat promises: known kinds, samples of at least one bit within the pixel, a
// palette of at most 2^16 entries indexed by at most 16 bits.
bool IsSourceFormat(const ChildDecodeRecord& r) {
    return r.channels <= static_cast<uint8_t>(SourceChannels::Cmyk) &&
           r.alpha <= static_cast<uint8_t>(AlphaKind::Mask) && r.sampleBits >= 1 &&
           r.sampleBits <= r.pixelBits && r.paletteEntries <= 65536 &&
           (r.paletteEntries == 0 || r.sampleBits <= 16);
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
    return store.width == 0 && store.height == 0 && store.address == 0;
}

// The stores the record names, each copied out of the child, in the order named.
bool FetchStores(const ChildDecodeRecord& record, const FetchChildStore& fetch,
                 std::shared_ptr<PixelStore> (&stores)[2]) {
    for (int i = 0; i < 2; ++i) {
        const ChildStoreRecord& store = record.stores[i];
        if (IsNoStore(store)) continue;
        if (!IsPictureSizeSupported(store.width, store.height)) return false;
        stores[i] = fetch(store.address, store.width, store.height);
        if (stores[i] == nullptr || stores[i]->Width() != store.width ||
            stores[i]->Height() != store.height)
            return false;
    }
    return true;
}

bool ReadPicture(const ChildDecodeRecord& r, const FetchChildStore& fetch, ChildDecode& out) {
    if (r.row >= CodecRegistry().size()) return false;
    if (!IsPictureSizeSupported(r.width, r.height) || !IsSourceFormat(r) || !IsResolution(r.dpiX) ||
        !IsResolution(r.dpiY))
        return false;
    if (!IsStore(r.stores[0], r.width, r.height) || !IsNoStore(r.stores[1])) return false;
    std::shared_ptr<PixelStore> stores[2];
    if (!FetchStores(r, fetch, stores)) return false;
    out.row = r.row;
    DecodedPicture& picture = out.picture;
    picture.width = r.width;
    picture.height = r.height;
    picture.source = {.channels = static_cast<SourceChannels>(r.channels),
                      .sampleBits = r.sampleBits,
                      .pixelBits = r.pixelBits,
                      .alpha = static_cast<AlphaKind>(r.alpha),
                      .paletteEntries = r.paletteEntries};
    picture.dpiX = r.dpiX;
    picture.dpiY = r.dpiY;
    picture.pixels = std::move(stores[0]);
    return true;
}

// A monochrome icon has its mask alone, twice as high; every other one a colour bitmap and a
// mask of the icon's size.
bool ReadIcon(const ChildDecodeRecord& r, const FetchChildStore& fetch, ChildDecode& out) {
    if (!IsFlag(r.isIcon) || !IsPictureSizeSupported(r.width, r.height) ||
        !IsIconImageBits(r.imageBits))
        return false;
    const bool monochrome = r.imageBits == 1;
    if (monochrome
            ? !IsNoStore(r.stores[0]) || !IsStore(r.stores[1], r.width, 2 * int64_t{r.height})
            : !IsStore(r.stores[0], r.width, r.height) || !IsStore(r.stores[1], r.width, r.height))
        return false;
    std::shared_ptr<PixelStore> stores[2];
    if (!FetchStores(r, fetch, stores)) return false;
    DecodedIcon& icon = out.icon;
    icon.isIcon = r.isIcon != 0;
    icon.hotspotX = r.hotspotX;
    icon.hotspotY = r.hotspotY;
    icon.width = r.width;
    icon.height = r.height;
    icon.imageBits = r.imageBits;
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

ChildRecordBytes EncodeChildRecord(ChildTask task, const ChildDecode& decode) {
    ChildDecodeRecord record{};
    record.magic = RecordMagic;
    record.task = static_cast<uint32_t>(task);
    record.status = static_cast<int32_t>(decode.result.status);
    if (decode.result.reason != nullptr) {
        const size_t reasonLength = std::min(std::strlen(decode.result.reason), LongestCodecReason);
        record.reasonLength = static_cast<uint8_t>(reasonLength);
        std::memcpy(record.reason, decode.result.reason, reasonLength);
    }
    if (decode.result.IsOk()) {
        switch (task) {
            case ChildTask::Picture: {
                const DecodedPicture& p = decode.picture;
                record.row = decode.row;
                record.width = p.width;
                record.height = p.height;
                record.paletteEntries = p.source.paletteEntries;
                record.channels = static_cast<uint8_t>(p.source.channels);
                record.sampleBits = p.source.sampleBits;
                record.pixelBits = p.source.pixelBits;
                record.alpha = static_cast<uint8_t>(p.source.alpha);
                record.dpiX = p.dpiX;
                record.dpiY = p.dpiY;
                record.stores[0] = StoreRecord(p.pixels);
                break;
            }
            case ChildTask::Icon: {
                const DecodedIcon& i = decode.icon;
                record.isIcon = i.isIcon;
                record.hotspotX = i.hotspotX;
                record.hotspotY = i.hotspotY;
                record.width = i.width;
                record.height = i.height;
                record.imageBits = i.imageBits;
                record.stores[0] = StoreRecord(i.color);
                record.stores[1] = StoreRecord(i.mask);
                break;
            }
            case ChildTask::PlaceableWmf: record.wmf = decode.wmf; break;
            case ChildTask::Emf: record.emf = decode.emf; break;
        }
    }
    ChildRecordBytes bytes;
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

std::vector<std::span<const std::byte>> ChildStoreRegions(ChildTask task,
                                                          const ChildDecode& decode) {
    std::vector<std::span<const std::byte>> regions;
    if (!decode.result.IsOk()) return regions;
    if (task == ChildTask::Picture) regions.push_back(StoreRegion(decode.picture.pixels));
    if (task == ChildTask::Icon) {
        regions.push_back(StoreRegion(decode.icon.color));
        regions.push_back(StoreRegion(decode.icon.mask));
    }
    return regions;
}

bool ReadChildRecord(std::span<const std::byte> bytes, ChildTask task, const FetchChildStore& fetch,
                     ChildDecode& out) {
    ChildDecodeRecord r;
    if (bytes.size() != sizeof r) return false;
    std::memcpy(&r, bytes.data(), sizeof r);
    if (r.magic != RecordMagic || r.task != static_cast<uint32_t>(task)) return false;
    if (r.status < static_cast<int32_t>(CodecStatus::Ok) ||
        r.status > static_cast<int32_t>(CodecStatus::LibraryMissing))
        return false;
    if (r.reasonLength > LongestCodecReason) return false;
    const auto status = static_cast<CodecStatus>(r.status);
    if (status == CodecStatus::Ok) {
        if (r.reasonLength != 0) return false;
        out.result = Decoded;
    } else {
        // Only a reason of the table, for the status the table gives it, is believed; the
        // parent keeps the table's own text.
        const char* reason = FindCodecReason(std::string_view(r.reason, r.reasonLength));
        if (reason == nullptr || StatusOfCodecReason(reason) != status) return false;
        out.result = {status, reason};
        return true;
    }
    switch (task) {
        case ChildTask::Picture: return ReadPicture(r, fetch, out);
        case ChildTask::Icon: return ReadIcon(r, fetch, out);
        case ChildTask::PlaceableWmf: out.wmf = r.wmf; return r.wmf.unitsPerInch != 0;
        case ChildTask::Emf: out.emf = r.emf; return IsEmfHeader(r.emf);
    }
    return false;
}

}  // namespace pic2pnm::codecs

// The record a decode child sends its parent: fixed in size, plain numbers only. The child
// fills it from what its decoder gave; the parent reads it back into a ChildDecode only when
// every field it uses holds a value the decoder could have given, and the pixel stores it
// names lie inside the shared block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "codecs/common/codec_child.h"

namespace pic2pnm::codecs {

// A pixel store in the shared block; width 0 when there is none.
struct ChildStoreRecord {
    uint64_t offset = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct ChildDecodeRecord {
    uint32_t magic = 0;
    uint32_t task = 0;
    int32_t status = 0;
    uint32_t row = 0;
    int32_t width = 0;  // of the picture or the icon
    int32_t height = 0;
    uint32_t pixelFormat = 0;
    uint16_t bitsPerPixel = 0;
    uint8_t hasAlpha = 0;
    uint8_t premultipliedAlpha = 0;
    float dpiX = 0;
    float dpiY = 0;
    uint8_t isIcon = 0;
    uint8_t reasonLength = 0;
    uint16_t hotspotX = 0;
    uint16_t hotspotY = 0;
    uint16_t unused = 0;
    // The picture's pixels, or an icon's colour bitmap; then an icon's mask.
    ChildStoreRecord stores[2];
    PlaceableWmfHeader wmf;
    EmfHeader emf;
    char reason[ChildReasonCapacity] = {};
};

using ChildRecordBytes = std::array<std::byte, sizeof(ChildDecodeRecord)>;

// Where each pixel store of the child lies in the shared block, by the address of its pixels.
struct ChildStorePlace {
    const void* data = nullptr;
    uint64_t offset = 0;
};
using ChildStorePlaces = std::array<ChildStorePlace, 4>;

// In the child: the record of `decode` for `task`. False when a store is not in the block
// (then the record says Corrupt).
ChildRecordBytes EncodeChildRecord(ChildTask task, const ChildDecode& decode,
                                   const ChildStorePlaces& places);

// In the parent: reads `bytes` into `out`, mapping the stores from the block through `map`
// (the block's first N bytes, or null). False when any field is out of range, a store lies
// outside the block, or the record is not of `task`.
using MapSharedBytes = std::function<std::shared_ptr<void>(uint64_t bytes)>;
bool ReadChildRecord(const ChildRecordBytes& bytes, ChildTask task, const MapSharedBytes& map,
                     ChildDecode& out);

}  // namespace pic2pnm::codecs

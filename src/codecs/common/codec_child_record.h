// The record a decode child sends its parent: fixed in size, plain numbers only. The child
// fills it from what its decoder gave; the parent reads it back into a ChildDecode only when
// every field it uses holds a value the decoder could have given and the pixel stores it names
// can be copied whole out of the child.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "codecs/common/codec_child.h"
#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs {

// A pixel store in the child's memory; width 0 when there is none.
struct ChildStoreRecord {
    uint64_t address = 0;
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
    // The picture's SourceFormat.
    uint32_t paletteEntries = 0;
    uint8_t channels = 0;
    uint8_t sampleBits = 0;
    uint8_t pixelBits = 0;
    uint8_t alpha = 0;
    float dpiX = 0;
    float dpiY = 0;
    uint8_t isIcon = 0;
    uint8_t reasonLength = 0;
    uint16_t hotspotX = 0;
    uint16_t hotspotY = 0;
    uint16_t imageBits = 0;  // of an icon's image
    // The picture's pixels, or an icon's colour bitmap; then an icon's mask.
    ChildStoreRecord stores[2];
    PlaceableWmfHeader wmf;
    EmfHeader emf;
    // The text of the decode's reason, one of CodecReasons.
    char reason[LongestCodecReason] = {};
};

using ChildRecordBytes = std::array<std::byte, sizeof(ChildDecodeRecord)>;

// In the child: the record of `decode` for `task`, and the stores' pixels in the order the
// record names them (what the child hands over).
ChildRecordBytes EncodeChildRecord(ChildTask task, const ChildDecode& decode);
std::vector<std::span<const std::byte>> ChildStoreRegions(ChildTask task,
                                                          const ChildDecode& decode);

// In the parent: a store of width x height pixels holding what the child has at `address`,
// or null when it cannot be had.
using FetchChildStore =
    std::function<std::shared_ptr<PixelStore>(uint64_t address, int32_t width, int32_t height)>;
// Reads `bytes` into `out`, fetching the stores in the order the record names them. False when
// any field is out of range, the reason is not one of CodecReasons for the status given, a
// store cannot be fetched, or the record is not of `task`.
bool ReadChildRecord(std::span<const std::byte> bytes, ChildTask task, const FetchChildStore& fetch,
                     ChildDecode& out);

}  // namespace pic2pnm::codecs

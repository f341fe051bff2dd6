// The item structure of a HEIF or AVIF file, read once and in one pass before libheif sees the
// file: which items it lists, where their data lies, which properties and references each has.
// libheif reads the first of each box and trusts much of what it finds; the reader refuses
// instead whatever libheif would read differently or could be led astray by: a box that comes
// twice, an item listed twice, more items, extents or references than the limits allow.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "codecs/common/codec_limits.h"
#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

struct HeifItem {
    uint32_t id = 0;
    std::string_view type;  // "hvc1", "av01", "grid", "iovl", "iden", "Exif", ...; empty before
                            // version 2 of the item's entry
    bool hasSize = false;   // the item has an "ispe" property
    uint32_t width = 0;     // as "ispe" states it, before any transformation
    uint32_t height = 0;
    uint16_t method = 0;       // where its data lies: 0 in the file, 1 in the "idat" box
    uint32_t firstExtent = 0;  // its extents: HeifStructure::extents[firstExtent, +extentCount)
    uint32_t extentCount = 0;
    bool located = false;  // listed in the "iloc" box
};

struct HeifExtent {
    uint64_t offset = 0;
    uint64_t length = 0;  // 0: to the end of the data
};

struct HeifReference {
    std::string_view type;  // "dimg", "auxl", "thmb", "cdsc", ...
    uint32_t from = 0;
    uint32_t firstTarget = 0;  // HeifStructure::targets[firstTarget, +targetCount)
    uint32_t targetCount = 0;
};

struct HeifStructure {
    CodecResult fault;  // when not Ok, nothing below is to be used
    uint32_t primary = 0;
    std::vector<HeifItem> items;  // sorted by id, each id once
    std::vector<HeifExtent> extents;
    std::vector<HeifReference> references;
    std::vector<uint32_t> targets;
    size_t idatBegin = 0;  // the "idat" box's contents, when there is one
    size_t idatEnd = 0;

    // The item of this number; null when the file lists none.
    const HeifItem* Find(uint32_t id) const;
    // Up to `want` bytes of an item's data, its extents joined.
    std::vector<uint8_t> Data(FileView file, const HeifItem& item, size_t want) const;
};

HeifStructure ReadHeifStructure(FileView file, const HeifLimits& limits);

}  // namespace pic2pnm::codecs

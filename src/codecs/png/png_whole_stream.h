// The common PNG layouts with the whole IDAT stream inflated in one call by libdeflate, about
// twice as fast as zlib a row at a time, and without a buffer the size of the picture:
//
// - the data of the IDAT chunks are moved together within the file's own bytes, and moved
//   back, chunk headers and CRCs as they were, before it returns;
// - the filtered rows, 1 + W * bpp bytes each, are inflated into the end of the pixel store
//   (4 * W bytes a row), and unfiltered one at a time through two rows of scratch into BGRA
//   rows written from the start of the store, top row first. Row r's pixels end at byte
//   4 * W * (r + 1); row r + 1's filtered bytes start at 4 * W * H - (H - r - 1) * (1 + W * bpp),
//   which is never earlier while 1 + W * bpp <= 4 * W. That holds for grey, grey and alpha,
//   RGB and palette pictures, not for RGBA (1 + 4 * W), which is left to the row decoder;
// - the store holds its rows bottom-up, so the rows change places at the end.
//
// The result is DecodePngRowsDirect's. Whatever it would give up on (a bad CRC or checksum,
// a short or overlong stream, data after it, an unknown filter, a palette index past the
// palette) makes this give up too; so does a missing libdeflate. The caller then decodes the
// file the row-at-a-time way.
#pragma once

#include <cstdint>
#include <span>

#include "codecs/common/pixel_store.h"
#include "codecs/png/png_rows.h"

namespace pic2pnm::codecs {

// True when DecodePngWholeStream takes pictures of this layout: one DecodePngRowsDirect takes,
// whose filtered rows are no longer than the store's rows.
bool IsWholeStreamPngLayout(const PngLayout& layout);

// True when a file whose first bytes are `head` (its signature and IHDR at least) and whose
// size is `fileSize` is a picture DecodePngWholeStream may rearrange in place, and is no larger
// than its picture's pixels would be as 32-bit values and 16 MiB: what its bytes may cost when
// they are read into memory rather than mapped.
bool PngWholeStreamRearranges(FileView head, uint64_t fileSize);

// Decodes the IDAT stream of `file` into `store` (layout.width x layout.height). False when it
// gives up; the store's contents are then undefined. `file` is rearranged meanwhile and holds
// the same bytes again when this returns.
bool DecodePngWholeStream(std::span<uint8_t> file, const PngLayout& layout, PixelStore& store);

}  // namespace pic2pnm::codecs

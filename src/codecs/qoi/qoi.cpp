// QOI pictures, read by our own decoder: RGB and RGBA. The colour-space byte only says how
// the samples were meant (0 or 1, any other value is a broken header); we hand them out as
// stored.
#include <cstring>
#include <memory>
#include <utility>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/common/pixel_finisher.h"
#include "codecs/qoi/qoi.h"

namespace pic2pnm::codecs {
namespace {

constexpr uint8_t QoiMagic[4] = {'q', 'o', 'i', 'f'};
constexpr size_t HeaderSize = 14;
constexpr uint8_t EndMarker[8] = {0, 0, 0, 0, 0, 0, 0, 1};
constexpr uint64_t LongestRun = 62;  // pixels one byte can stand for

constexpr uint8_t OpRgb = 0xFE;
constexpr uint8_t OpRgba = 0xFF;
constexpr uint8_t OpIndex = 0x00;
constexpr uint8_t OpDiff = 0x40;
constexpr uint8_t OpLuma = 0x80;
constexpr uint8_t OpMask = 0xC0;

uint32_t HashSlot(uint32_t px) {
    const uint32_t b = px & 0xFF, g = px >> 8 & 0xFF, r = px >> 16 & 0xFF, a = px >> 24;
    return (r * 3 + g * 5 + b * 7 + a * 11) & 63;
}

// The chunks from `p` on fill the store row by row from the top; on success `p` is where
// the end marker must start. Corrupt when the chunks end early or a run goes past the last
// pixel.
CodecResult DecodeChunks(const uint8_t*& p, const uint8_t* end, PixelStore& store) {
    uint32_t index[64] = {};
    uint32_t px = 0xFF000000u;
    uint32_t run = 0;
    const size_t width = static_cast<size_t>(store.Width());
    for (int32_t y = 0; y < store.Height(); ++y) {
        uint32_t* row = store.RowFromTop(y);
        for (size_t x = 0; x < width; ++x) {
            if (run > 0) {
                --run;
                row[x] = px;
                continue;
            }
            if (p == end) return Refuse("qoi: the chunks end before the last pixel");
            const uint8_t op = *p++;
            if (op == OpRgb) {
                if (end - p < 3) return Refuse("qoi: a chunk is cut short");
                px = PackPixel(p[0], p[1], p[2], px >> 24);
                p += 3;
            } else if (op == OpRgba) {
                if (end - p < 4) return Refuse("qoi: a chunk is cut short");
                px = PackPixel(p[0], p[1], p[2], p[3]);
                p += 4;
            } else if ((op & OpMask) == OpIndex) {
                px = index[op];
            } else if ((op & OpMask) == OpDiff) {
                const uint32_t r = (px >> 16) + ((op >> 4) & 3) - 2;
                const uint32_t g = (px >> 8) + ((op >> 2) & 3) - 2;
                const uint32_t b = px + (op & 3) - 2;
                px = PackPixel(r, g, b, px >> 24);
            } else if ((op & OpMask) == OpLuma) {
                if (p == end) return Refuse("qoi: a chunk is cut short");
                const uint32_t dg = static_cast<uint32_t>(op & 0x3F) - 32;
                const uint8_t next = *p++;
                const uint32_t r = (px >> 16) + dg - 8 + (next >> 4);
                const uint32_t g = (px >> 8) + dg;
                const uint32_t b = px + dg - 8 + (next & 0x0F);
                px = PackPixel(r, g, b, px >> 24);
            } else {              // the run chunk, 0xC0 to 0xFD
                run = op & 0x3F;  // this pixel and `run` more
            }
            index[HashSlot(px)] = px;
            row[x] = px;
        }
    }
    if (run != 0) return Refuse("qoi: chunks run past the last pixel");
    return Decoded;
}

}  // namespace

bool LooksLikeQoi(FileView file) {
    return file.size() >= sizeof QoiMagic &&
           std::memcmp(file.data(), QoiMagic, sizeof QoiMagic) == 0;
}

CodecResult DecodeQoi(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeQoi(file)) return Refuse("qoi: no QOI signature");
    if (file.size() < HeaderSize) return Refuse("qoi: the header is cut short");
    const uint32_t width = ReadBe32(file.data() + 4);
    const uint32_t height = ReadBe32(file.data() + 8);
    const uint8_t channels = file[12];
    const uint8_t colorSpace = file[13];
    if (width == 0 || height == 0) return Refuse("qoi: a side of the picture is 0");
    if (channels != 3 && channels != 4) return Refuse("qoi: the channels are neither 3 nor 4");
    if (colorSpace > 1) return Refuse("qoi: the colour space is neither 0 nor 1");
    if (!limits.AllowsPicture(width, height))
        return Refuse("qoi: the picture is larger than the limits allow");
    // Every chunk byte stands for at most one run of 62 pixels, and the end marker follows.
    const uint64_t pixels = uint64_t{width} * height;
    const uint64_t leastBytes =
        HeaderSize + (pixels + LongestRun - 1) / LongestRun + sizeof EndMarker;
    if (file.size() < leastBytes) return Refuse("qoi: too few bytes for the picture's pixels");

    std::shared_ptr<PixelStore> store =
        PixelStore::Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height));
    if (!store) return Refuse("qoi: no memory for the pixels");
    const uint8_t* p = file.data() + HeaderSize;
    const uint8_t* end = file.data() + file.size();
    if (const CodecResult chunks = DecodeChunks(p, end, *store); !chunks.IsOk()) return chunks;
    if (static_cast<size_t>(end - p) < sizeof EndMarker ||
        std::memcmp(p, EndMarker, sizeof EndMarker) != 0)
        return Refuse("qoi: the end marker does not follow the last pixel");

    const bool alpha = channels == 4;
    DecodedPicture picture;
    picture.width = static_cast<int32_t>(width);
    picture.height = static_cast<int32_t>(height);
    picture.source = {.channels = SourceChannels::Colour,
                      .sampleBits = 8,
                      .pixelBits = static_cast<uint8_t>(channels * 8),
                      .alpha = alpha ? AlphaKind::Straight : AlphaKind::None};
    picture.pixels = std::move(store);
    out = std::move(picture);
    return Decoded;
}

}  // namespace pic2pnm::codecs

// WebP through libwebp: lossy and lossless still pictures, with or without alpha, and the
// first frame of an animation. libwebp writes BGRA bytes straight into the pixel store and
// flips the rows as it goes, so the picture is held once.
#include <bit>
#include <cstring>
#include <memory>

#include "codecs/common/codec_reasons.h"
#include "codecs/webp/webp.h"
#include "codecs/webp/webp_library.h"

namespace pic2pnm::codecs {
namespace {

static_assert(std::endian::native == std::endian::little,
              "BGRA bytes are read as one little-endian 32-bit value");

// Why libwebp refused the file, as its status code tells.
CodecResult ResultOf(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OK: return Decoded;
        case VP8_STATUS_OUT_OF_MEMORY: return Refuse("webp: libwebp ran out of memory");
        case VP8_STATUS_BITSTREAM_ERROR: return Refuse("webp: libwebp finds the bitstream broken");
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return Refuse("webp: libwebp does not read a feature the file uses");
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return Refuse("webp: the file ends before the picture does");
        default: return Refuse("webp: libwebp refused the file");
    }
}

// No WebP bitstream, hence no frame, is larger than this on either side. An animation's canvas
// may state up to 2^24, but we show only the first frame: a canvas no frame could come close to
// filling is refused rather than turned into a vast, nearly empty picture.
constexpr uint32_t MaxFrameSide = 16383;

struct Rectangle {
    int32_t left = 0;
    int32_t top = 0;  // counted from the top of the store
    int32_t width = 0;
    int32_t height = 0;
};

// Decodes a still bitstream exactly `area.width` x `area.height` in size into that area of the
// store. The area must lie inside the store.
CodecResult DecodeStillInto(const WebPLibrary& libwebp, const uint8_t* data, size_t size,
                            const Rectangle& area, PixelStore& store) {
    int bitstreamWidth = 0;
    int bitstreamHeight = 0;
    if (libwebp.GetInfo(data, size, &bitstreamWidth, &bitstreamHeight) == 0) {
        return Refuse("webp: libwebp cannot read the bitstream's size");
    }
    if (bitstreamWidth != area.width || bitstreamHeight != area.height)
        return Refuse("webp: the bitstream's size is not the frame's");

    WebPDecoderConfig config;
    if (libwebp.InitDecoderConfig(&config) == 0)
        return Refuse("webp: libwebp's decoder is not the version the program knows");
    const size_t stride = static_cast<size_t>(store.Width()) * sizeof(uint32_t);
    // The lowest address of the area is the start of its bottom row; with `flip` libwebp
    // writes the picture's top row last in memory, i.e. at the top of our bottom-up store.
    uint32_t* lowest = store.RowFromTop(area.top + area.height - 1) + area.left;
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = reinterpret_cast<uint8_t*>(lowest);
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size = stride * static_cast<size_t>(area.height - 1) +
                                static_cast<size_t>(area.width) * sizeof(uint32_t);
    config.options.flip = 1;
    const VP8StatusCode status = libwebp.Decode(data, size, &config);
    libwebp.FreeDecBuffer(&config.output);
    return ResultOf(status);
}

struct DemuxerDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebP()->DemuxDelete(demuxer); }
};

// A decoded picture: its pixels, and whether any of them is not opaque.
struct Still {
    std::shared_ptr<PixelStore> pixels;
    bool alpha = false;
};

// The first frame of an animation on its canvas; the rest of the canvas is transparent.
CodecResult DecodeFirstFrame(const WebPLibrary& libwebp, FileView file, const DecodeLimits& limits,
                             Still& out) {
    const WebPData data{file.data(), file.size()};
    std::unique_ptr<WebPDemuxer, DemuxerDeleter> demuxer(libwebp.Demux(&data));
    if (demuxer == nullptr) return Refuse("webp: libwebp cannot read the animation's chunks");
    const uint32_t canvasWidth = libwebp.DemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH);
    const uint32_t canvasHeight = libwebp.DemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT);
    if (!limits.AllowsPicture(canvasWidth, canvasHeight))
        return Refuse("webp: the picture is larger than the limits allow");
    if (canvasWidth > MaxFrameSide || canvasHeight > MaxFrameSide)
        return Refuse("webp: a canvas larger than any frame can be");

    WebPIterator frame;
    if (libwebp.DemuxGetFrame(demuxer.get(), 1, &frame) == 0)
        return Refuse("webp: the animation has no first frame");
    const Rectangle area{frame.x_offset, frame.y_offset, frame.width, frame.height};
    const WebPData bitstream = frame.fragment;
    const bool frameHasAlpha = frame.has_alpha != 0;
    const bool complete = frame.complete != 0;
    libwebp.DemuxReleaseIterator(&frame);
    const bool inside = area.left >= 0 && area.top >= 0 && area.width > 0 && area.height > 0 &&
                        static_cast<uint32_t>(area.width) <= canvasWidth - area.left &&
                        static_cast<uint32_t>(area.height) <= canvasHeight - area.top;
    if (!complete || !inside) return Refuse("webp: the first frame is cut short or off the canvas");

    auto store =
        PixelStore::Allocate(static_cast<int32_t>(canvasWidth), static_cast<int32_t>(canvasHeight));
    if (store == nullptr) return Refuse("webp: no memory for the pixels");
    const CodecResult decoded =
        DecodeStillInto(libwebp, bitstream.bytes, bitstream.size, area, *store);
    if (!decoded.IsOk()) return decoded;
    const bool coversCanvas = area.left == 0 && area.top == 0 &&
                              static_cast<uint32_t>(area.width) == canvasWidth &&
                              static_cast<uint32_t>(area.height) == canvasHeight;
    out.alpha = frameHasAlpha || !coversCanvas;
    out.pixels = std::move(store);
    return Decoded;
}

CodecResult DecodeStill(const WebPLibrary& libwebp, FileView file,
                        const WebPBitstreamFeatures& features, Still& out) {
    auto store = PixelStore::Allocate(features.width, features.height);
    if (store == nullptr) return Refuse("webp: no memory for the pixels");
    const Rectangle whole{0, 0, features.width, features.height};
    const CodecResult decoded = DecodeStillInto(libwebp, file.data(), file.size(), whole, *store);
    if (!decoded.IsOk()) return decoded;
    out.alpha = features.has_alpha != 0;
    out.pixels = std::move(store);
    return Decoded;
}

}  // namespace

bool LooksLikeWebp(FileView file) {
    return file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0 &&
           std::memcmp(file.data() + 8, "WEBP", 4) == 0;
}

CodecResult DecodeWebp(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeWebp(file)) return Refuse("webp: no WebP signature");
    // Without its library no WebP can be read; the package always brings it.
    const WebPLibrary* library = WebP();
    if (library == nullptr) return Refuse("webp: libwebp cannot be opened");
    const WebPLibrary& libwebp = *library;
    WebPBitstreamFeatures features;
    const CodecResult parsed = ResultOf(libwebp.GetFeatures(file.data(), file.size(), &features));
    if (!parsed.IsOk()) return parsed;
    if (!limits.AllowsPicture(features.width, features.height))
        return Refuse("webp: the picture is larger than the limits allow");

    Still still;
    const CodecResult decoded = features.has_animation != 0
                                    ? DecodeFirstFrame(libwebp, file, limits, still)
                                    : DecodeStill(libwebp, file, features, still);
    if (!decoded.IsOk()) return decoded;
    out.width = still.pixels->Width();
    out.height = still.pixels->Height();
    out.source = {.channels = SourceChannels::Colour,
                  .sampleBits = 8,
                  .pixelBits = static_cast<uint8_t>(still.alpha ? 32 : 24),
                  .alpha = still.alpha ? AlphaKind::Straight : AlphaKind::None};
    out.dpiX = 0;
    out.dpiY = 0;
    out.pixels = std::move(still.pixels);
    return Decoded;
}

}  // namespace pic2pnm::codecs

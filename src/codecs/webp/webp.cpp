// WebP through libwebp: lossy and lossless still pictures, with or without alpha, and the
// first frame of an animation. libwebp writes BGRA bytes straight into the pixel store and
// flips the rows as it goes, so the picture is held once.
#include <bit>
#include <cstring>
#include <memory>

#include "codecs/webp/webp.h"
#include "codecs/webp/webp_library.h"

namespace pic2pnm::codecs {
namespace {

static_assert(std::endian::native == std::endian::little,
              "BGRA bytes are read as one little-endian 32-bit value");

CodecStatus StatusOf(VP8StatusCode status) {
    if (status == VP8_STATUS_OK) return CodecStatus::Ok;
    if (status == VP8_STATUS_OUT_OF_MEMORY) return CodecStatus::OutOfMemory;
    return CodecStatus::Corrupt;
}

// No WebP bitstream, hence no frame, is larger than this on either side. An animation's canvas
// may state up to 2^24, but we show only the first frame: a canvas no frame could come close to
// filling is refused rather than turned into a vast, nearly empty picture.
constexpr uint32_t kMaxFrameSide = 16383;

struct Rectangle {
    int32_t left = 0;
    int32_t top = 0;  // counted from the top of the store
    int32_t width = 0;
    int32_t height = 0;
};

// Decodes a still bitstream exactly `area.width` x `area.height` in size into that area of the
// store. The area must lie inside the store.
CodecStatus DecodeStillInto(const WebPLibrary& libwebp, const uint8_t* data, size_t size,
                            const Rectangle& area, PixelStore& store) {
    int bitstreamWidth = 0;
    int bitstreamHeight = 0;
    if (libwebp.GetInfo(data, size, &bitstreamWidth, &bitstreamHeight) == 0) {
        return CodecStatus::Corrupt;
    }
    if (bitstreamWidth != area.width || bitstreamHeight != area.height) return CodecStatus::Corrupt;

    WebPDecoderConfig config;
    if (libwebp.InitDecoderConfig(&config) == 0) return CodecStatus::Corrupt;
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
    return StatusOf(status);
}

struct DemuxerDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebP()->DemuxDelete(demuxer); }
};

// The first frame of an animation on its canvas; the rest of the canvas is transparent.
CodecStatus DecodeFirstFrame(const WebPLibrary& libwebp, FileView file, DecodedPicture& out) {
    const WebPData data{file.data(), file.size()};
    std::unique_ptr<WebPDemuxer, DemuxerDeleter> demuxer(libwebp.Demux(&data));
    if (demuxer == nullptr) return CodecStatus::Corrupt;
    const uint32_t canvasWidth = libwebp.DemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH);
    const uint32_t canvasHeight = libwebp.DemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT);
    if (!IsPictureSizeSupported(canvasWidth, canvasHeight)) return CodecStatus::TooLarge;
    if (canvasWidth > kMaxFrameSide || canvasHeight > kMaxFrameSide) return CodecStatus::TooLarge;

    WebPIterator frame;
    if (libwebp.DemuxGetFrame(demuxer.get(), 1, &frame) == 0) return CodecStatus::Corrupt;
    const Rectangle area{frame.x_offset, frame.y_offset, frame.width, frame.height};
    const WebPData bitstream = frame.fragment;
    const bool frameHasAlpha = frame.has_alpha != 0;
    const bool complete = frame.complete != 0;
    libwebp.DemuxReleaseIterator(&frame);
    const bool inside = area.left >= 0 && area.top >= 0 && area.width > 0 && area.height > 0 &&
                        static_cast<uint32_t>(area.width) <= canvasWidth - area.left &&
                        static_cast<uint32_t>(area.height) <= canvasHeight - area.top;
    if (!complete || !inside) return CodecStatus::Corrupt;

    auto store =
        PixelStore::Allocate(static_cast<int32_t>(canvasWidth), static_cast<int32_t>(canvasHeight));
    if (store == nullptr) return CodecStatus::OutOfMemory;
    const CodecStatus status =
        DecodeStillInto(libwebp, bitstream.bytes, bitstream.size, area, *store);
    if (status != CodecStatus::Ok) return status;
    const bool coversCanvas = area.left == 0 && area.top == 0 &&
                              static_cast<uint32_t>(area.width) == canvasWidth &&
                              static_cast<uint32_t>(area.height) == canvasHeight;
    out.hasAlpha = frameHasAlpha || !coversCanvas;
    out.pixels = std::move(store);
    return CodecStatus::Ok;
}

CodecStatus DecodeStill(const WebPLibrary& libwebp, FileView file,
                        const WebPBitstreamFeatures& features, DecodedPicture& out) {
    auto store = PixelStore::Allocate(features.width, features.height);
    if (store == nullptr) return CodecStatus::OutOfMemory;
    const Rectangle whole{0, 0, features.width, features.height};
    const CodecStatus status = DecodeStillInto(libwebp, file.data(), file.size(), whole, *store);
    if (status != CodecStatus::Ok) return status;
    out.hasAlpha = features.has_alpha != 0;
    out.pixels = std::move(store);
    return CodecStatus::Ok;
}

}  // namespace

bool LooksLikeWebp(FileView file) {
    return file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0 &&
           std::memcmp(file.data() + 8, "WEBP", 4) == 0;
}

CodecStatus DecodeWebp(FileView file, DecodedPicture& out) {
    if (!LooksLikeWebp(file)) return CodecStatus::NotMyFormat;
    // Without its library no WebP can be read; the package always brings it.
    const WebPLibrary* library = WebP();
    if (library == nullptr) return CodecStatus::LibraryMissing;
    const WebPLibrary& libwebp = *library;
    WebPBitstreamFeatures features;
    const CodecStatus parsed = StatusOf(libwebp.GetFeatures(file.data(), file.size(), &features));
    if (parsed != CodecStatus::Ok) return parsed;
    if (!IsPictureSizeSupported(features.width, features.height)) return CodecStatus::TooLarge;

    DecodedPicture picture;
    const CodecStatus status = features.has_animation != 0
                                   ? DecodeFirstFrame(libwebp, file, picture)
                                   : DecodeStill(libwebp, file, features, picture);
    if (status != CodecStatus::Ok) return status;
    out.width = picture.pixels->Width();
    out.height = picture.pixels->Height();
    out.bitsPerPixel = picture.hasAlpha ? 32 : 24;
    out.pixelFormat = picture.hasAlpha ? PixelFormat::Argb32 : PixelFormat::Rgb24;
    out.hasAlpha = picture.hasAlpha;
    out.premultipliedAlpha = false;
    out.dpiX = 0;
    out.dpiY = 0;
    out.pixels = std::move(picture.pixels);
    return CodecStatus::Ok;
}

}  // namespace pic2pnm::codecs

// PNG through libspng: every colour type and bit depth, palettes and tRNS, Adam7.
//
// Rows are decoded one at a time straight into the pixel store (8 bits per sample) or through
// one row of 16-bit samples, which we round to 8 bits ourselves: libspng's own 16-to-8-bit
// conversion drops the low byte, and we want the nearest level. Gamma, iCCP and sRGB are
// deliberately ignored: we hand out the stored samples.
#include <spng.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/common/codec_reasons.h"
#include "codecs/common/pixel_arithmetic.h"
#include "codecs/png/png.h"
#include "codecs/png/png_format.h"
#include "codecs/png/png_path.h"
#include "codecs/png/png_rows.h"
#include "codecs/png/png_skipped_chunks.h"
#include "codecs/png/png_whole_stream.h"

namespace pic2pnm::codecs {
namespace {

static_assert(std::endian::native == std::endian::little,
              "RGBA bytes are read as one little-endian 32-bit value");

constexpr uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// We read no text, profiles or metadata; these caps keep a hostile file from making libspng
// hold large amounts of them.
constexpr size_t MaxChunkBytes = size_t{16} << 20;
constexpr size_t MaxCachedChunkBytes = size_t{64} << 20;
// IsPictureSizeSupported refuses any side longer than this anyway.
constexpr uint32_t MaxSide = INT32_MAX / 4;

// Where the pixels of each Adam7 pass sit in a row: first column and column step.
constexpr uint32_t PassFirstColumn[7] = {0, 4, 0, 2, 0, 1, 0};
constexpr uint32_t PassColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

// Why libspng refused the file, as closely as its error code tells.
CodecResult SpngFailure(int error) {
    switch (error) {
        case SPNG_EMEM: return Refuse("png: libspng ran out of memory");
        case SPNG_EUSER_WIDTH:
        case SPNG_EUSER_HEIGHT: return Refuse("png: a side is longer than libspng is allowed");
        case SPNG_EWIDTH:
        case SPNG_EHEIGHT:
        case SPNG_EBIT_DEPTH:
        case SPNG_ECOLOR_TYPE:
        case SPNG_ECOMPRESSION_METHOD:
        case SPNG_EFILTER_METHOD:
        case SPNG_EINTERLACE_METHOD:
        case SPNG_EIHDR_SIZE:
        case SPNG_ENOIHDR: return Refuse("png: libspng finds no IHDR chunk or a broken one");
        case SPNG_ECHUNK_POS:
        case SPNG_ECHUNK_SIZE:
        case SPNG_ECHUNK_TYPE:
        case SPNG_ECHUNK_STDLEN: return Refuse("png: libspng finds a chunk out of place or size");
        case SPNG_ECHUNK_CRC: return Refuse("png: libspng finds a critical chunk's CRC wrong");
        case SPNG_ECHUNK_UNKNOWN_CRITICAL:
            return Refuse("png: libspng finds an unknown critical chunk");
        case SPNG_EDUP_PLTE:
        case SPNG_EDUP_CHRM:
        case SPNG_EDUP_GAMA:
        case SPNG_EDUP_ICCP:
        case SPNG_EDUP_SBIT:
        case SPNG_EDUP_SRGB:
        case SPNG_EDUP_BKGD:
        case SPNG_EDUP_HIST:
        case SPNG_EDUP_TRNS:
        case SPNG_EDUP_PHYS:
        case SPNG_EDUP_TIME:
        case SPNG_EDUP_OFFS:
        case SPNG_EDUP_EXIF: return Refuse("png: libspng finds a chunk twice that comes once");
        case SPNG_EPLTE_IDX:
        case SPNG_ETRNS_COLOR_TYPE:
        case SPNG_ETRNS_NO_PLTE:
        case SPNG_ENOPLTE: return Refuse("png: libspng finds the palette or tRNS missing or wrong");
        case SPNG_ECHUNK_LIMITS: return Refuse("png: a chunk is larger than libspng is allowed");
        case SPNG_IO_EOF:  // what libspng's buffer reader says at the end of the file
        case SPNG_EIDAT_TOO_SHORT:
        case SPNG_EOF:
        case SPNG_EIO: return Refuse("png: the file ends before the picture does");
        case SPNG_EIDAT_STREAM:
        case SPNG_EZLIB: return Refuse("png: libspng cannot inflate the image data");
        case SPNG_EFILTER: return Refuse("png: libspng finds a row of an unknown filter type");
        default:
            // The ancillary chunks' own contents (cHRM, gAMA, tEXt, ...), or a state libspng
            // should not reach.
            return Refuse("png: libspng refused the file");
    }
}

// An ancillary chunk that is absent is not an error. The first failure is the one kept: after
// it libspng answers every call with a bad state, which says nothing of the file.
bool IsFound(int error, CodecResult& failure) {
    if (error == SPNG_OK) return true;
    if (error != SPNG_ECHUNKAVAIL && failure.IsOk()) failure = SpngFailure(error);
    return false;
}

// The entries of an indexed picture's palette, when libspng gives it; else as many as its
// indices can reach.
uint32_t PaletteEntries(spng_ctx* png, const spng_ihdr& ihdr) {
    if (ihdr.color_type != SPNG_COLOR_TYPE_INDEXED) return 0;
    spng_plte plte{};
    if (spng_get_plte(png, &plte) == SPNG_OK) return plte.n_entries;
    return 1u << ihdr.bit_depth;
}

// The nearest 8-bit level: v * 255 / 65535 rounded.
uint32_t To8Bits(uint16_t value) {
    return (uint32_t{value} * 255u + 32767u) / 65535u;
}

// Both decode loops ask libspng which row (and Adam7 pass) comes next, then decode it. The
// end of the picture is reported either by decoding the last row or, when that returned OK,
// by asking for the next one (SPNG_EOI, never before the first row).
struct RowPlace {
    uint32_t row = 0;
    uint32_t firstColumn = 0;
    uint32_t columnStep = 1;
};

int NextRow(spng_ctx* context, const spng_ihdr& ihdr, RowPlace& place, bool first) {
    spng_row_info info{};
    int error = spng_get_row_info(context, &info);
    if (error == SPNG_EOI && first) return SPNG_EINTERNAL;
    if (error != SPNG_OK) return error;
    if (info.row_num >= ihdr.height) return SPNG_EINTERNAL;
    place.row = info.row_num;
    if (ihdr.interlace_method == SPNG_INTERLACE_ADAM7) {
        if (info.pass < 0 || info.pass > 6) return SPNG_EINTERNAL;
        place.firstColumn = PassFirstColumn[info.pass];
        place.columnStep = PassColumnStep[info.pass];
    }
    return SPNG_OK;
}

// 8 bits per sample or fewer: libspng writes RGBA bytes straight into the store's rows
// (for Adam7 only the pass's columns of the row), then red and blue change places.
CodecResult DecodeRgba8Rows(spng_ctx* context, const spng_ihdr& ihdr, PixelStore& store) {
    int error = spng_decode_image(context, nullptr, 0, SPNG_FMT_RGBA8,
                                  SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
    if (error != SPNG_OK) return SpngFailure(error);
    const size_t rowBytes = static_cast<size_t>(store.Width()) * sizeof(uint32_t);
    for (bool first = true;; first = false) {
        RowPlace place;
        error = NextRow(context, ihdr, place, first);
        if (error == SPNG_EOI) break;
        if (error != SPNG_OK) return SpngFailure(error);
        error =
            spng_decode_row(context, store.RowFromTop(static_cast<int32_t>(place.row)), rowBytes);
        if (error == SPNG_EOI) break;  // the last row has been written
        if (error != SPNG_OK) return SpngFailure(error);
    }
    uint32_t* pixels = store.Data();
    std::transform(pixels, pixels + store.PixelCount(), pixels, SwapRedAndBlue);
    return Decoded;
}

// 16 bits per sample: one row of RGBA16 at a time, rounded into the store. For Adam7 the row
// buffer holds this pass's pixels at their columns (and stale ones elsewhere), so only the
// pass's columns are taken.
CodecResult DecodeRgba16Rows(spng_ctx* context, const spng_ihdr& ihdr, PixelStore& store) {
    const size_t width = static_cast<size_t>(store.Width());
    std::unique_ptr<uint16_t[]> samples(new (std::nothrow) uint16_t[width * 4]);
    if (samples == nullptr) return Refuse("png: no memory for a row of 16-bit samples");
    int error = spng_decode_image(context, nullptr, 0, SPNG_FMT_RGBA16,
                                  SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
    if (error != SPNG_OK) return SpngFailure(error);
    for (bool first = true;; first = false) {
        RowPlace place;
        error = NextRow(context, ihdr, place, first);
        if (error == SPNG_EOI) break;
        if (error != SPNG_OK) return SpngFailure(error);
        error = spng_decode_row(context, samples.get(), width * 4 * sizeof(uint16_t));
        if (error != SPNG_OK && error != SPNG_EOI) return SpngFailure(error);
        uint32_t* out = store.RowFromTop(static_cast<int32_t>(place.row));
        for (size_t x = place.firstColumn; x < width; x += place.columnStep) {
            const uint16_t* rgba = samples.get() + 4 * x;
            out[x] = To8Bits(rgba[2]) | To8Bits(rgba[1]) << 8 | To8Bits(rgba[0]) << 16 |
                     To8Bits(rgba[3]) << 24;
        }
        if (error == SPNG_EOI) break;  // that was the last row
    }
    return Decoded;
}

}  // namespace

bool LooksLikePng(FileView file) {
    return file.size() >= sizeof PngSignature &&
           std::memcmp(file.data(), PngSignature, sizeof PngSignature) == 0;
}

namespace {

// The layout DecodePngRowsDirect needs; false when libspng does not give the palette of an
// indexed picture.
bool DescribeLayout(spng_ctx* png, const spng_ihdr& ihdr, bool hasTrns, const spng_trns& trns,
                    PngLayout& layout) {
    layout.width = ihdr.width;
    layout.height = ihdr.height;
    layout.bitDepth = ihdr.bit_depth;
    layout.colorType = ihdr.color_type;
    layout.interlace = ihdr.interlace_method;
    layout.hasTrns = hasTrns;
    layout.trnsGrey = trns.gray;
    layout.trnsRed = trns.red;
    layout.trnsGreen = trns.green;
    layout.trnsBlue = trns.blue;
    if (ihdr.color_type != SPNG_COLOR_TYPE_INDEXED) return true;
    spng_plte plte{};
    if (spng_get_plte(png, &plte) != SPNG_OK || plte.n_entries > 256) return false;
    if (hasTrns && trns.n_type3_entries > plte.n_entries) return false;
    layout.paletteEntries = plte.n_entries;
    for (uint32_t i = 0; i < plte.n_entries; ++i) {
        const uint32_t alpha = hasTrns && i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
        const spng_plte_entry& entry = plte.entries[i];
        layout.palette[i] =
            alpha << 24 | uint32_t{entry.red} << 16 | uint32_t{entry.green} << 8 | entry.blue;
    }
    return true;
}

}  // namespace

namespace {

// `writable` is the same bytes as `file` when they may be rearranged, empty otherwise.
CodecResult Decode(FileView file, std::span<uint8_t> writable, const DecodeLimits& limits,
                   DecodedPicture& out, PngRowPath path) {
    if (!LooksLikePng(file)) return Refuse("png: no PNG signature");
    Context context(spng_ctx_new(0));
    if (context == nullptr) return Refuse("png: libspng cannot make a decoder");
    spng_ctx* png = context.get();
    // Read in place, unless the file holds chunks to keep from libspng.
    PngChunkFilter filter(file);
    const bool filtered = HasSkippedPngChunks(file);
    // On a fresh context with valid arguments these fail only for want of memory.
    if (spng_set_crc_action(png, SPNG_CRC_ERROR, SPNG_CRC_DISCARD) != SPNG_OK ||
        spng_set_chunk_limits(png, MaxChunkBytes, MaxCachedChunkBytes) != SPNG_OK ||
        spng_set_image_limits(png, MaxSide, MaxSide) != SPNG_OK ||
        (filtered ? spng_set_png_stream(png, PngChunkFilter::Read, &filter)
                  : spng_set_png_buffer(png, file.data(), file.size())) != SPNG_OK) {
        return Refuse("png: libspng cannot make a decoder");
    }

    spng_ihdr ihdr{};
    int error = spng_get_ihdr(png, &ihdr);
    if (error != SPNG_OK) return SpngFailure(error);
    if (!limits.AllowsPicture(ihdr.width, ihdr.height))
        return Refuse("png: the picture is larger than the limits allow");
    if (!PngRowBuffersFit(ihdr.width, ihdr.height, ihdr.bit_depth, ihdr.color_type, limits))
        return Refuse("png: the rows of so wide a picture need more memory than the budget");

    CodecResult failure = Decoded;
    spng_trns trns{};
    const bool hasTrns = IsFound(spng_get_trns(png, &trns), failure);
    spng_phys phys{};
    const bool hasPhys = IsFound(spng_get_phys(png, &phys), failure);
    if (!failure.IsOk()) return failure;
    const uint32_t paletteEntries = PaletteEntries(png, ihdr);

    auto store =
        PixelStore::Allocate(static_cast<int32_t>(ihdr.width), static_cast<int32_t>(ihdr.height));
    if (store == nullptr) return Refuse("png: no memory for the pixels");
    PngLayout layout;
    const bool direct = path == PngRowPath::DirectFirst &&
                        DescribeLayout(png, ihdr, hasTrns, trns, layout) &&
                        IsDirectPngLayout(layout) &&
                        ((!writable.empty() && DecodePngWholeStream(writable, layout, *store)) ||
                         DecodePngRowsDirect(file, layout, *store));
    if (!direct) {
        const CodecResult rows = ihdr.bit_depth == 16 ? DecodeRgba16Rows(png, ihdr, *store)
                                                      : DecodeRgba8Rows(png, ihdr, *store);
        if (!rows.IsOk()) return rows;
    }

    out.width = store->Width();
    out.height = store->Height();
    out.source = DescribePngSource(ihdr.color_type, ihdr.bit_depth, hasTrns, paletteEntries);
    const PngDpi dpi =
        hasPhys ? DpiFromPhys(phys.ppu_x, phys.ppu_y, phys.unit_specifier) : PngDpi{};
    out.dpiX = dpi.x;
    out.dpiY = dpi.y;
    out.pixels = std::move(store);
    return Decoded;
}

}  // namespace

CodecResult DecodePng(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    return Decode(file, {}, limits, out, PngRowPath::DirectFirst);
}

CodecResult DecodePngInPlace(std::span<uint8_t> file, const DecodeLimits& limits,
                             DecodedPicture& out) {
    return Decode(file, file, limits, out, PngRowPath::DirectFirst);
}

CodecResult DecodePngUsing(FileView file, const DecodeLimits& limits, DecodedPicture& out,
                           PngRowPath path) {
    return Decode(file, {}, limits, out, path);
}

}  // namespace pic2pnm::codecs

#include "codecs/pnm/pnm_raster.h"

#include <cstring>
#include <new>
#include <vector>

#include "codecs/common/codec_reasons.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pic2pnm::codecs::pnm {
namespace {

constexpr uint32_t OpaqueAlpha = 0xFF000000u;
constexpr uint32_t WhitePixel = 0xFFFFFFFFu;
constexpr uint32_t BlackPixel = OpaqueAlpha;
// Set in a scale-table entry for a stored value above maxval.
constexpr uint16_t AboveMaxval = 0x100;

// Every value a sample can store (8 or 16 bits of it) to its 8-bit level, or AboveMaxval.
bool MakeScaleTable(uint32_t maxval, std::vector<uint16_t>& table) {
    const size_t entries = maxval > 255 ? 65536 : 256;
    try {
        table.assign(entries, AboveMaxval);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t v = 0; v <= maxval; ++v)
        table[v] = static_cast<uint16_t>((v * 255u + maxval / 2) / maxval);
    return true;
}

template <bool Wide>
uint32_t LoadSample(const uint8_t* p) {
    if constexpr (Wide) return uint32_t{p[0]} << 8 | p[1];  // most significant byte first
    return p[0];
}

uint32_t Pack(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return blue | green << 8 | red << 16 | alpha << 24;
}

// One raw row of 8- or 16-bit samples; `Identity` for 8 bits and maxval 255, where the
// samples are the levels. False when a sample is above maxval.
uint32_t Load32(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The common rows, 8-bit samples at maxval 255: one 32-bit load a pixel, the bytes moved
// into place in registers. RGB loads one byte beyond the pixel, so a row's last pixel is
// taken apart byte by byte: the file may end right after it.
void ReadRgbPixels(const uint8_t* src, uint32_t* dst, size_t width) {
    for (size_t x = 0; x + 1 < width; ++x, src += 3)
        dst[x] = __builtin_bswap32(Load32(src)) >> 8 | OpaqueAlpha;
    dst[width - 1] = Pack(src[0], src[1], src[2], 0xFF);
}

#if defined(__x86_64__)
// Four pixels a step with one byte shuffle, where the processor has it (SSSE3). A step loads
// 16 bytes and uses 12, so the last pixels of the row go through the scalar loop.
__attribute__((target("ssse3"))) void ReadRgbRowShuffled(const uint8_t* src, uint32_t* dst,
                                                         size_t width) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(OpaqueAlpha));
    size_t x = 0;
    for (; x + 6 <= width; x += 4) {
        const __m128i rgb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                         _mm_or_si128(_mm_shuffle_epi8(rgb, order), opaque));
    }
    ReadRgbPixels(src + 3 * x, dst + x, width - x);
}

const bool HasShuffle = __builtin_cpu_supports("ssse3");
#endif

void ReadRgbRow(const uint8_t* src, uint32_t* dst, size_t width) {
#if defined(__x86_64__)
    if (HasShuffle) return ReadRgbRowShuffled(src, dst, width);
#endif
    ReadRgbPixels(src, dst, width);
}

void ReadRgbaRow(const uint8_t* src, uint32_t* dst, size_t width) {
    for (size_t x = 0; x < width; ++x, src += 4) {
        const uint32_t v = Load32(src);  // red, green, blue, alpha from the low byte up
        dst[x] = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
    }
}

template <int Channels, bool Wide, bool Identity>
bool ReadRawRow(const uint8_t* src, uint32_t* dst, size_t width, const uint16_t* scale) {
    if constexpr (Identity && Channels == 3) {
        ReadRgbRow(src, dst, width);
        return true;
    } else if constexpr (Identity && Channels == 4) {
        ReadRgbaRow(src, dst, width);
        return true;
    }
    constexpr size_t SampleBytes = Wide ? 2 : 1;
    uint32_t flags = 0;
    auto level = [&](const uint8_t* p) -> uint32_t {
        if constexpr (Identity) return *p;
        const uint32_t scaled = scale[LoadSample<Wide>(p)];
        flags |= scaled;
        return scaled & 0xFF;
    };
    for (size_t x = 0; x < width; ++x, src += Channels * SampleBytes) {
        if constexpr (Channels == 1) {
            dst[x] = level(src) * 0x010101u | OpaqueAlpha;
        } else if constexpr (Channels == 2) {
            dst[x] = level(src) * 0x010101u | level(src + SampleBytes) << 24;
        } else if constexpr (Channels == 3) {
            dst[x] = Pack(level(src), level(src + SampleBytes), level(src + 2 * SampleBytes), 0xFF);
        } else {
            dst[x] = Pack(level(src), level(src + SampleBytes), level(src + 2 * SampleBytes),
                          level(src + 3 * SampleBytes));
        }
    }
    return (flags & AboveMaxval) == 0;
}

using RowReader = bool (*)(const uint8_t*, uint32_t*, size_t, const uint16_t*);

template <bool Wide, bool Identity>
RowReader RowReaderFor(int channels) {
    switch (channels) {
        case 1: return ReadRawRow<1, Wide, Identity>;
        case 2: return ReadRawRow<2, Wide, Identity>;
        case 3: return ReadRawRow<3, Wide, Identity>;
        default: return ReadRawRow<4, Wide, Identity>;
    }
}

void ReadBitmapRow(const uint8_t* src, uint32_t* dst, size_t width) {
    for (size_t x = 0; x < width; ++x)
        dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1 ? BlackPixel : WhitePixel;
}

bool IsSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Plain samples: decimal numbers (single digits 0 and 1, not necessarily apart, in a PBM)
// between whitespace and comments.
class PlainSamples {
  public:
    explicit PlainSamples(FileView raster) : p_(raster.data()), end_(p_ + raster.size()) {}

    bool NextBit(uint32_t& bit) {
        SkipSeparators();
        if (p_ == end_ || (*p_ != '0' && *p_ != '1')) return false;
        bit = static_cast<uint32_t>(*p_++ - '0');
        return true;
    }

    // A number, then the end of the raster, whitespace or a comment.
    bool NextNumber(uint32_t& value) {
        SkipSeparators();
        if (p_ == end_ || *p_ < '0' || *p_ > '9') return false;
        uint32_t v = 0;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9') {
            v = v * 10 + static_cast<uint32_t>(*p_++ - '0');
            if (v > 65536) v = 65536;  // above every maxval
        }
        if (p_ != end_ && !IsSpace(*p_) && *p_ != '#') return false;
        value = v;
        return true;
    }

  private:
    void SkipSeparators() {
        while (p_ != end_) {
            if (IsSpace(*p_)) {
                ++p_;
            } else if (*p_ == '#') {
                while (p_ != end_ && *p_ != '\n' && *p_ != '\r') ++p_;
            } else {
                return;
            }
        }
    }

    const uint8_t* p_;
    const uint8_t* end_;
};

}  // namespace

CodecResult ReadRawRaster(const PnmHeader& header, FileView raster, PixelStore& store) {
    const size_t width = static_cast<size_t>(store.Width());
    const size_t rowBytes = static_cast<size_t>(RawRowBytes(header));
    if (raster.size() / rowBytes < static_cast<size_t>(store.Height()))
        return Refuse("pnm: the raster is shorter than the picture");
    const uint8_t* src = raster.data();
    if (header.layout == PnmLayout::Bitmap) {
        for (int32_t y = 0; y < store.Height(); ++y, src += rowBytes)
            ReadBitmapRow(src, store.RowFromTop(y), width);
        return Decoded;
    }
    const bool wide = header.maxval > 255;
    std::vector<uint16_t> scale;
    if (header.maxval != 255 && !MakeScaleTable(header.maxval, scale))
        return Refuse("pnm: no memory for the table of sample levels");
    const int channels = SamplesPerPixel(header.layout);
    const RowReader read = wide                   ? RowReaderFor<true, false>(channels)
                           : header.maxval == 255 ? RowReaderFor<false, true>(channels)
                                                  : RowReaderFor<false, false>(channels);
    for (int32_t y = 0; y < store.Height(); ++y, src += rowBytes) {
        if (!read(src, store.RowFromTop(y), width, scale.data()))
            return Refuse("pnm: a sample is above the maxval");
    }
    return Decoded;
}

CodecResult ReadPlainRaster(const PnmHeader& header, FileView raster, PixelStore& store) {
    const size_t width = static_cast<size_t>(store.Width());
    PlainSamples samples(raster);
    if (header.layout == PnmLayout::Bitmap) {
        for (int32_t y = 0; y < store.Height(); ++y) {
            uint32_t* row = store.RowFromTop(y);
            for (size_t x = 0; x < width; ++x) {
                uint32_t bit = 0;
                if (!samples.NextBit(bit))
                    return Refuse("pnm: a plain PBM pixel is missing or neither 0 nor 1");
                row[x] = bit ? BlackPixel : WhitePixel;
            }
        }
        return Decoded;
    }
    std::vector<uint16_t> scale;
    if (!MakeScaleTable(header.maxval, scale))
        return Refuse("pnm: no memory for the table of sample levels");
    const int channels = SamplesPerPixel(header.layout);
    for (int32_t y = 0; y < store.Height(); ++y) {
        uint32_t* row = store.RowFromTop(y);
        for (size_t x = 0; x < width; ++x) {
            uint32_t level[4] = {0, 0, 0, 255};
            for (int c = 0; c < channels; ++c) {
                uint32_t value = 0;
                if (!samples.NextNumber(value))
                    return Refuse("pnm: a plain sample is missing or no number");
                if (value > header.maxval) return Refuse("pnm: a sample is above the maxval");
                level[c] = scale[value];
            }
            switch (header.layout) {
                case PnmLayout::Grey: row[x] = level[0] * 0x010101u | OpaqueAlpha; break;
                case PnmLayout::GreyAlpha: row[x] = level[0] * 0x010101u | level[1] << 24; break;
                default: row[x] = Pack(level[0], level[1], level[2], level[3]); break;
            }
        }
    }
    return Decoded;
}

}  // namespace pic2pnm::codecs::pnm

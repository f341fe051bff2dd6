// The Paeth filter undone for RGB and RGBA rows with the samples of one pixel side by side in
// one vector register: the next pixel needs this one's result, so pixels go one at a time,
// but their three or four samples take one instruction each instead of one a sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define PIC2PNM_PAETH_VECTOR 1
#endif

namespace pic2pnm::codecs {

#if defined(PIC2PNM_PAETH_VECTOR)

namespace paeth_vector {

// The pixel's bytes at `bytes` as 16-bit lanes; for 3 bytes a pixel a fourth byte rides along
// unless the pixel ends the row.
template <size_t Count>
inline __m128i Load(const uint8_t* bytes) {
    uint32_t value = 0;
    std::memcpy(&value, bytes, Count);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(value)), _mm_setzero_si128());
}

inline __m128i Abs(__m128i value) {
    return _mm_max_epi16(value, _mm_sub_epi16(_mm_setzero_si128(), value));
}

}  // namespace paeth_vector

// One pixel: `count` bytes are read and written, Bpp of them the pixel's own. `left` and
// `upperLeft` carry a and c from pixel to pixel.
template <size_t Bpp, size_t Count>
inline void UnfilterPaethPixel(uint8_t* row, const uint8_t* previous, __m128i& left,
                               __m128i& upperLeft) {
    using paeth_vector::Abs;
    using paeth_vector::Load;
    const __m128i lanes = Bpp == 4 ? _mm_set_epi16(0, 0, 0, 0, -1, -1, -1, -1)
                                   : _mm_set_epi16(0, 0, 0, 0, 0, -1, -1, -1);
    const __m128i above = Load<Count>(previous);  // b
    const __m128i filtered = Load<Count>(row);
    const __m128i bMinusC = _mm_sub_epi16(above, upperLeft);
    const __m128i aMinusC = _mm_sub_epi16(left, upperLeft);
    const __m128i pa = Abs(bMinusC);                          // |p - a|
    const __m128i pb = Abs(aMinusC);                          // |p - b|
    const __m128i pc = Abs(_mm_add_epi16(bMinusC, aMinusC));  // |p - c|
    // a when pa is the smallest, else b when pb <= pc, else c: as the format orders ties.
    const __m128i smallest = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    const __m128i useA = _mm_cmpeq_epi16(pa, smallest);
    const __m128i useB = _mm_cmpeq_epi16(pb, smallest);
    const __m128i bOrC =
        _mm_or_si128(_mm_and_si128(useB, above), _mm_andnot_si128(useB, upperLeft));
    const __m128i predictor =
        _mm_and_si128(lanes, _mm_or_si128(_mm_and_si128(useA, left), _mm_andnot_si128(useA, bOrC)));
    left = _mm_and_si128(_mm_add_epi16(filtered, predictor), _mm_set1_epi16(0xFF));
    upperLeft = above;
    const auto bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(left, left)));
    std::memcpy(row, &bytes, Count);
}

// Undoes the Paeth filter of one row of `size` bytes (whole pixels of Bpp = 3 or 4 bytes) in
// place; `previous` is the row above, unfiltered. For 3 bytes a pixel the fourth lane's
// predictor is held at 0, so the byte after the pixel is written back as it was read; the
// last pixel of the row reads and writes its own 3 bytes only.
template <size_t Bpp>
void UnfilterPaethVector(uint8_t* row, const uint8_t* previous, size_t size) {
    static_assert(Bpp == 3 || Bpp == 4);
    __m128i left = _mm_setzero_si128();       // a
    __m128i upperLeft = _mm_setzero_si128();  // c
    size_t i = 0;
    for (; i + 4 <= size; i += Bpp)
        UnfilterPaethPixel<Bpp, 4>(row + i, previous + i, left, upperLeft);
    for (; i < size; i += Bpp) UnfilterPaethPixel<Bpp, Bpp>(row + i, previous + i, left, upperLeft);
}

#endif

}  // namespace pic2pnm::codecs

// Bump lighting with 256-bit packed integers: eight pixels per step as two registers of sixteen signed
// 16-bit lanes, then four, two and one pixel for the end of a row.
//
// The main step widens its bytes by unpacking within 128-bit halves, so one register holds pixels
// 0, 1, 4, 5 and the other 2, 3, 6, 7; the final pack then puts the eight results back in order without
// a cross-half permute. Shuffles are what bound this loop, so it spends as few as it can.
#include "imaging/PixelOps.h"

#include <cstring>
#include <immintrin.h>

namespace {

__m256i Load8(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Bytes widened to 16-bit lanes: four pixels, and two.
__m256i Widen4(const uint32_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

__m128i Widen2(const uint32_t* p) {
    return _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// See the MMX form: e8 holds the direction times 256; doubling the shifted value lets one high-half
// multiply take the / 128 while the shift is at least 1.
template <bool bNoShift>
__m256i Term(__m256i g, __m256i l, __m256i e8, __m128i count) {
    const __m256i p = _mm256_mullo_epi16(g, l);
    if constexpr (bNoShift) {
        const __m256i e = _mm256_srai_epi16(e8, 8);
        return _mm256_or_si256(_mm256_slli_epi16(_mm256_mulhi_epi16(p, e), 9),
                               _mm256_srli_epi16(_mm256_mullo_epi16(p, e), 7));
    } else {
        const __m256i s = _mm256_sra_epi16(p, count);
        return _mm256_mulhi_epi16(_mm256_add_epi16(s, s), e8);
    }
}

template <bool bNoShift>
__m128i Term(__m128i g, __m128i l, __m128i e8, __m128i count) {
    const __m128i p = _mm_mullo_epi16(g, l);
    if constexpr (bNoShift) {
        const __m128i e = _mm_srai_epi16(e8, 8);
        return _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epi16(p, e), 9),
                            _mm_srli_epi16(_mm_mullo_epi16(p, e), 7));
    } else {
        const __m128i s = _mm_sra_epi16(p, count);
        return _mm_mulhi_epi16(_mm_add_epi16(s, s), e8);
    }
}

// The change of sixteen lanes: slopes gx, gy under light l, with ex8 and ey8 holding each pixel's direction
// times 256 in every lane of the pixel.
template <bool bNoShift>
__m256i Change(__m256i gx, __m256i gy, __m256i l, __m256i ex8, __m256i ey8, __m128i count) {
    return _mm256_adds_epi16(Term<bNoShift>(gx, l, ex8, count), Term<bNoShift>(gy, l, ey8, count));
}

template <bool bNoShift>
void LightRows(const BumpRun& run) {
    const __m128i count = _mm_cvtsi32_si128(run.nShift);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i kPlusMinus = _mm256_set1_epi16(0xFF01); // bytes +1, -1
    // Byte selectors copying one byte of each pixel's direction entry into the high half of its four lanes
    // (the direction times 256), a zero into the low half: for pixels 0, 1 | 4, 5 (A) and 2, 3 | 6, 7 (B)
    // of a main step, both 128-bit halves holding the step's sixteen entry bytes, and for pixels 0, 1 | 2, 3
    // of a four-pixel step, both halves holding its eight. Made here, not at namespace scope, so that no
    // AVX2 instruction runs before the processor has been checked.
    const __m256i kSpreadAX = _mm256_setr_epi8(-1, 0, -1, 0, -1, 0, -1, 0, -1, 2, -1, 2, -1, 2, -1, 2, //
                                               -1, 8, -1, 8, -1, 8, -1, 8, -1, 10, -1, 10, -1, 10, -1, 10);
    const __m256i kSpreadAY = _mm256_setr_epi8(-1, 1, -1, 1, -1, 1, -1, 1, -1, 3, -1, 3, -1, 3, -1, 3, //
                                               -1, 9, -1, 9, -1, 9, -1, 9, -1, 11, -1, 11, -1, 11, -1, 11);
    const __m256i kSpreadBX =
        _mm256_setr_epi8(-1, 4, -1, 4, -1, 4, -1, 4, -1, 6, -1, 6, -1, 6, -1, 6, //
                         -1, 12, -1, 12, -1, 12, -1, 12, -1, 14, -1, 14, -1, 14, -1, 14);
    const __m256i kSpreadBY =
        _mm256_setr_epi8(-1, 5, -1, 5, -1, 5, -1, 5, -1, 7, -1, 7, -1, 7, -1, 7, //
                         -1, 13, -1, 13, -1, 13, -1, 13, -1, 15, -1, 15, -1, 15, -1, 15);
    const __m256i kSpread4X = _mm256_setr_epi8(-1, 0, -1, 0, -1, 0, -1, 0, -1, 2, -1, 2, -1, 2, -1, 2, //
                                               -1, 4, -1, 4, -1, 4, -1, 4, -1, 6, -1, 6, -1, 6, -1, 6);
    const __m256i kSpread4Y = _mm256_setr_epi8(-1, 1, -1, 1, -1, 1, -1, 1, -1, 3, -1, 3, -1, 3, -1, 3, //
                                               -1, 5, -1, 5, -1, 5, -1, 5, -1, 7, -1, 7, -1, 7, -1, 7);
    const size_t nStride = run.nStride;
    const size_t nWidth = run.nWidth;
    for (size_t y = 0; y < run.nRows; ++y) {
        uint32_t* pDst = run.pDst + y * nStride;
        const uint32_t* pHeight = run.pHeight + y * nStride;
        const uint32_t* pLight = run.pLight + y * run.nLightStride;
        const int8_t* pDir = run.pDir + 2 * y * run.nLightStride;
        size_t x = 0;
        for (; x + 8 <= nWidth; x += 8) {
            const uint32_t* h = pHeight + x;
            const __m256i hl = Load8(h - 1);
            const __m256i hr = Load8(h + 1);
            const __m256i hu = Load8(h - nStride);
            const __m256i hd = Load8(h + nStride);
            const __m256i lt = Load8(pLight + x);
            const __m256i e =
                _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pDir + 2 * x)));
            // Each slope in one multiply-add of the interleaved neighbour bytes: next x 1 + previous x -1.
            const __m256i tA =
                Change<bNoShift>(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(hr, hl), kPlusMinus),
                                 _mm256_maddubs_epi16(_mm256_unpacklo_epi8(hd, hu), kPlusMinus),
                                 _mm256_unpacklo_epi8(lt, zero), _mm256_shuffle_epi8(e, kSpreadAX),
                                 _mm256_shuffle_epi8(e, kSpreadAY), count);
            const __m256i tB =
                Change<bNoShift>(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(hr, hl), kPlusMinus),
                                 _mm256_maddubs_epi16(_mm256_unpackhi_epi8(hd, hu), kPlusMinus),
                                 _mm256_unpackhi_epi8(lt, zero), _mm256_shuffle_epi8(e, kSpreadBX),
                                 _mm256_shuffle_epi8(e, kSpreadBY), count);
            const __m256i d = Load8(pDst + x);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pDst + x),
                                _mm256_packus_epi16(_mm256_adds_epi16(_mm256_unpacklo_epi8(d, zero), tA),
                                                    _mm256_adds_epi16(_mm256_unpackhi_epi8(d, zero), tB)));
        }
        if (x + 4 <= nWidth) {
            const uint32_t* h = pHeight + x;
            int64_t qwDir;
            std::memcpy(&qwDir, pDir + 2 * x, sizeof(qwDir));
            const __m256i e = _mm256_set1_epi64x(qwDir);
            const __m256i t = Change<bNoShift>(_mm256_sub_epi16(Widen4(h + 1), Widen4(h - 1)),
                                               _mm256_sub_epi16(Widen4(h + nStride), Widen4(h - nStride)),
                                               Widen4(pLight + x), _mm256_shuffle_epi8(e, kSpread4X),
                                               _mm256_shuffle_epi8(e, kSpread4Y), count);
            const __m256i o = _mm256_adds_epi16(Widen4(pDst + x), t);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + x),
                             _mm_packus_epi16(_mm256_castsi256_si128(o), _mm256_extracti128_si256(o, 1)));
            x += 4;
        }
        if (x + 2 <= nWidth) {
            const uint32_t* h = pHeight + x;
            int32_t nDir;
            std::memcpy(&nDir, pDir + 2 * x, sizeof(nDir));
            const __m128i e = _mm_set1_epi32(nDir);
            const __m128i l = Widen2(pLight + x);
            const __m128i t =
                _mm_adds_epi16(Term<bNoShift>(_mm_sub_epi16(Widen2(h + 1), Widen2(h - 1)), l,
                                              _mm_shuffle_epi8(e, _mm256_castsi256_si128(kSpread4X)), count),
                               Term<bNoShift>(_mm_sub_epi16(Widen2(h + nStride), Widen2(h - nStride)), l,
                                              _mm_shuffle_epi8(e, _mm256_castsi256_si128(kSpread4Y)), count));
            const __m128i o = _mm_adds_epi16(Widen2(pDst + x), t);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pDst + x), _mm_packus_epi16(o, o));
            x += 2;
        }
        if (x < nWidth) {
            pDst[x] = BumpLightPixel(pDst[x], pHeight + x, nStride, pLight[x], pDir + 2 * x, run.nShift);
        }
    }
}

} // namespace

void BumpLightRows_avx2(const BumpRun& run) {
    if (run.nShift == 0) {
        LightRows<true>(run);
    } else {
        LightRows<false>(run);
    }
}

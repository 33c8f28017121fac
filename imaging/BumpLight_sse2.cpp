// Bump lighting with 128-bit packed integers: two pixels' bytes as eight signed 16-bit lanes, four pixels
// per step.
#include "imaging/PixelOps.h"

#include <emmintrin.h>

namespace {

__m128i Load4(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// See the MMX form: e8 holds the direction times 256; doubling the shifted value lets one high-half
// multiply take the / 128 while the shift is at least 1.
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

template <bool bNoShift>
void LightRows(const BumpRun& run) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i count = _mm_cvtsi32_si128(run.nShift);
    const size_t nStride = run.nStride;
    for (size_t y = 0; y < run.nRows; ++y) {
        uint32_t* pDst = run.pDst + y * nStride;
        const uint32_t* pHeight = run.pHeight + y * nStride;
        const uint32_t* pLight = run.pLight + y * run.nLightStride;
        const int8_t* pDir = run.pDir + 2 * y * run.nLightStride;
        size_t x = 0;
        for (; x + 4 <= run.nWidth; x += 4) {
            const uint32_t* h = pHeight + x;
            const __m128i hl = Load4(h - 1);
            const __m128i hr = Load4(h + 1);
            const __m128i hu = Load4(h - nStride);
            const __m128i hd = Load4(h + nStride);
            const __m128i lt = Load4(pLight + x);
            // Directions of four pixels times 256, then spread over each pixel's four lanes.
            const __m128i e =
                _mm_unpacklo_epi8(zero, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pDir + 2 * x)));
            const __m128i e01 = _mm_unpacklo_epi16(e, e); // ex0 ex0 ey0 ey0 ex1 ex1 ey1 ey1
            const __m128i e23 = _mm_unpackhi_epi16(e, e);
            const __m128i tLo = _mm_adds_epi16(
                Term<bNoShift>(_mm_sub_epi16(_mm_unpacklo_epi8(hr, zero), _mm_unpacklo_epi8(hl, zero)),
                               _mm_unpacklo_epi8(lt, zero), _mm_shuffle_epi32(e01, _MM_SHUFFLE(2, 2, 0, 0)),
                               count),
                Term<bNoShift>(_mm_sub_epi16(_mm_unpacklo_epi8(hd, zero), _mm_unpacklo_epi8(hu, zero)),
                               _mm_unpacklo_epi8(lt, zero), _mm_shuffle_epi32(e01, _MM_SHUFFLE(3, 3, 1, 1)),
                               count));
            const __m128i tHi = _mm_adds_epi16(
                Term<bNoShift>(_mm_sub_epi16(_mm_unpackhi_epi8(hr, zero), _mm_unpackhi_epi8(hl, zero)),
                               _mm_unpackhi_epi8(lt, zero), _mm_shuffle_epi32(e23, _MM_SHUFFLE(2, 2, 0, 0)),
                               count),
                Term<bNoShift>(_mm_sub_epi16(_mm_unpackhi_epi8(hd, zero), _mm_unpackhi_epi8(hu, zero)),
                               _mm_unpackhi_epi8(lt, zero), _mm_shuffle_epi32(e23, _MM_SHUFFLE(3, 3, 1, 1)),
                               count));
            const __m128i d = Load4(pDst + x);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + x),
                             _mm_packus_epi16(_mm_adds_epi16(_mm_unpacklo_epi8(d, zero), tLo),
                                              _mm_adds_epi16(_mm_unpackhi_epi8(d, zero), tHi)));
        }
        for (; x < run.nWidth; ++x) {
            pDst[x] = BumpLightPixel(pDst[x], pHeight + x, nStride, pLight[x], pDir + 2 * x, run.nShift);
        }
    }
}

} // namespace

void BumpLightRows_sse2(const BumpRun& run) {
    if (run.nShift == 0) {
        LightRows<true>(run);
    } else {
        LightRows<false>(run);
    }
}

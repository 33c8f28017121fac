// Bump lighting with 256-bit packed integers: four pixels' bytes as sixteen signed 16-bit lanes per step,
// then two pixels with 128-bit operations, and a last odd pixel with the scalar rule.
#include "imaging/PixelOps.h"

#include <cstring>
#include <immintrin.h>

namespace {

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

template <bool bNoShift>
void LightRows(const BumpRun& run) {
    const __m128i count = _mm_cvtsi32_si128(run.nShift);
    // Byte selectors spreading the direction entries over each pixel's four lanes, the byte in the high
    // half of the lane (times 256), a zero in the low half. Both 128-bit halves hold the same entry bytes.
    // Made here, not at namespace scope, so that no AVX2 instruction runs before the processor is checked.
    const __m256i kSpreadX = _mm256_setr_epi8(-1, 0, -1, 0, -1, 0, -1, 0, -1, 2, -1, 2, -1, 2, -1, 2, //
                                              -1, 4, -1, 4, -1, 4, -1, 4, -1, 6, -1, 6, -1, 6, -1, 6);
    const __m256i kSpreadY = _mm256_setr_epi8(-1, 1, -1, 1, -1, 1, -1, 1, -1, 3, -1, 3, -1, 3, -1, 3, //
                                              -1, 5, -1, 5, -1, 5, -1, 5, -1, 7, -1, 7, -1, 7, -1, 7);
    const size_t nStride = run.nStride;
    for (size_t y = 0; y < run.nRows; ++y) {
        uint32_t* pDst = run.pDst + y * nStride;
        const uint32_t* pHeight = run.pHeight + y * nStride;
        const uint32_t* pLight = run.pLight + y * run.nLightStride;
        const int8_t* pDir = run.pDir + 2 * y * run.nLightStride;
        size_t x = 0;
        for (; x + 4 <= run.nWidth; x += 4) {
            const uint32_t* h = pHeight + x;
            const __m256i l = Widen4(pLight + x);
            int64_t qwDir;
            std::memcpy(&qwDir, pDir + 2 * x, sizeof(qwDir));
            const __m256i e = _mm256_set1_epi64x(qwDir);
            const __m256i t =
                _mm256_adds_epi16(Term<bNoShift>(_mm256_sub_epi16(Widen4(h + 1), Widen4(h - 1)), l,
                                                 _mm256_shuffle_epi8(e, kSpreadX), count),
                                  Term<bNoShift>(_mm256_sub_epi16(Widen4(h + nStride), Widen4(h - nStride)),
                                                 l, _mm256_shuffle_epi8(e, kSpreadY), count));
            const __m256i o = _mm256_adds_epi16(Widen4(pDst + x), t);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + x),
                             _mm_packus_epi16(_mm256_castsi256_si128(o), _mm256_extracti128_si256(o, 1)));
        }
        if (x + 2 <= run.nWidth) {
            const uint32_t* h = pHeight + x;
            const __m128i l = Widen2(pLight + x);
            int32_t nDir;
            std::memcpy(&nDir, pDir + 2 * x, sizeof(nDir));
            const __m128i e = _mm_set1_epi32(nDir);
            const __m128i t =
                _mm_adds_epi16(Term<bNoShift>(_mm_sub_epi16(Widen2(h + 1), Widen2(h - 1)), l,
                                              _mm_shuffle_epi8(e, _mm256_castsi256_si128(kSpreadX)), count),
                               Term<bNoShift>(_mm_sub_epi16(Widen2(h + nStride), Widen2(h - nStride)), l,
                                              _mm_shuffle_epi8(e, _mm256_castsi256_si128(kSpreadY)), count));
            const __m128i o = _mm_adds_epi16(Widen2(pDst + x), t);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pDst + x), _mm_packus_epi16(o, o));
            x += 2;
        }
        if (x < run.nWidth) {
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

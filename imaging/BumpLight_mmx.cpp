// Bump lighting with 64-bit packed integers: one pixel's four bytes as four signed 16-bit lanes, two
// pixels per step. This is the technique the program started from, kept as the baseline of the faster forms.
#include "imaging/PixelOps.h"

#include <cstring>
#include <mmintrin.h>

namespace {

__m64 Load2(const uint32_t* p) {
    __m64 v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

// The direction entries of two pixels, each byte moved into the high half of a 16-bit lane (times 256).
__m64 LoadDirections2(const int8_t* p) {
    int32_t n;
    std::memcpy(&n, p, sizeof(n));
    return _mm_unpacklo_pi8(_mm_setzero_si64(), _mm_cvtsi32_si64(n));
}

// One slope's share: the slope times the light, wrapped to 16 bits, shifted by the bump factor, then
// times the direction / 128 rounded down. e8 holds the direction times 256. While the shift is at least 1
// the shifted value fits in 15 bits, so doubling it lets one high-half multiply do the / 128.
template <bool bNoShift>
__m64 Term(__m64 g, __m64 l, __m64 e8, __m64 count) {
    const __m64 p = _mm_mullo_pi16(g, l);
    if constexpr (bNoShift) {
        // Bits 7..22 of the 32-bit product; the wrapped product is never -32768, so they never overflow.
        const __m64 e = _mm_srai_pi16(e8, 8);
        return _mm_or_si64(_mm_slli_pi16(_mm_mulhi_pi16(p, e), 9), _mm_srli_pi16(_mm_mullo_pi16(p, e), 7));
    } else {
        const __m64 s = _mm_sra_pi16(p, count);
        return _mm_mulhi_pi16(_mm_add_pi16(s, s), e8);
    }
}

template <bool bNoShift>
void LightRows(const BumpRun& run) {
    const __m64 zero = _mm_setzero_si64();
    const __m64 count = _mm_cvtsi32_si64(run.nShift);
    const size_t nStride = run.nStride;
    for (size_t y = 0; y < run.nRows; ++y) {
        uint32_t* pDst = run.pDst + y * nStride;
        const uint32_t* pHeight = run.pHeight + y * nStride;
        const uint32_t* pLight = run.pLight + y * run.nLightStride;
        const int8_t* pDir = run.pDir + 2 * y * run.nLightStride;
        size_t x = 0;
        for (; x + 2 <= run.nWidth; x += 2) {
            const uint32_t* h = pHeight + x;
            const __m64 hl = Load2(h - 1);
            const __m64 hr = Load2(h + 1);
            const __m64 hu = Load2(h - nStride);
            const __m64 hd = Load2(h + nStride);
            const __m64 lt = Load2(pLight + x);
            const __m64 l0 = _mm_unpacklo_pi8(lt, zero);
            const __m64 l1 = _mm_unpackhi_pi8(lt, zero);
            const __m64 e = LoadDirections2(pDir + 2 * x);
            const __m64 e0 = _mm_unpacklo_pi16(e, e); // ex ex ey ey of the first pixel
            const __m64 e1 = _mm_unpackhi_pi16(e, e);
            const __m64 t0 = _mm_adds_pi16(
                Term<bNoShift>(_mm_sub_pi16(_mm_unpacklo_pi8(hr, zero), _mm_unpacklo_pi8(hl, zero)), l0,
                               _mm_unpacklo_pi32(e0, e0), count),
                Term<bNoShift>(_mm_sub_pi16(_mm_unpacklo_pi8(hd, zero), _mm_unpacklo_pi8(hu, zero)), l0,
                               _mm_unpackhi_pi32(e0, e0), count));
            const __m64 t1 = _mm_adds_pi16(
                Term<bNoShift>(_mm_sub_pi16(_mm_unpackhi_pi8(hr, zero), _mm_unpackhi_pi8(hl, zero)), l1,
                               _mm_unpacklo_pi32(e1, e1), count),
                Term<bNoShift>(_mm_sub_pi16(_mm_unpackhi_pi8(hd, zero), _mm_unpackhi_pi8(hu, zero)), l1,
                               _mm_unpackhi_pi32(e1, e1), count));
            const __m64 d = Load2(pDst + x);
            const __m64 out = _mm_packs_pu16(_mm_adds_pi16(_mm_unpacklo_pi8(d, zero), t0),
                                             _mm_adds_pi16(_mm_unpackhi_pi8(d, zero), t1));
            std::memcpy(pDst + x, &out, sizeof(out));
        }
        if (x < run.nWidth) {
            pDst[x] = BumpLightPixel(pDst[x], pHeight + x, nStride, pLight[x], pDir + 2 * x, run.nShift);
        }
    }
    _mm_empty();
}

} // namespace

void BumpLightRows_mmx(const BumpRun& run) {
    if (run.nShift == 0) {
        LightRows<true>(run);
    } else {
        LightRows<false>(run);
    }
}

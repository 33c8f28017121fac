// Clear, Fade and the additive blit on 128-bit packed bytes: four pixels per register.
#include "imaging/PixelOps.h"

#include <emmintrin.h>

namespace {

__m128i Load4(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void Store4(uint32_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

} // namespace

void ClearPixels_sse2(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const __m128i v = _mm_set1_epi32(static_cast<int32_t>(dwValue));
    size_t i = 0;
    for (; i + 4 <= nCount; i += 4) {
        Store4(pPixels + i, v);
    }
    for (; i < nCount; ++i) {
        pPixels[i] = dwValue;
    }
}

void FadePixels_sse2(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const __m128i v = _mm_set1_epi32(static_cast<int32_t>(dwValue));
    size_t i = 0;
    for (; i + 4 <= nCount; i += 4) {
        Store4(pPixels + i, _mm_subs_epu8(Load4(pPixels + i), v));
    }
    for (; i < nCount; ++i) {
        pPixels[i] = FadePixel(pPixels[i], dwValue);
    }
}

void BlitAddRows_sse2(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                      size_t nWidth, size_t nRows) {
    for (size_t y = 0; y < nRows; ++y) {
        uint32_t* pD = pDst + y * nDstStride;
        const uint32_t* pS = pSrc + y * nSrcStride;
        size_t x = 0;
        for (; x + 4 <= nWidth; x += 4) {
            Store4(pD + x, _mm_adds_epu8(Load4(pD + x), Load4(pS + x)));
        }
        for (; x < nWidth; ++x) {
            pD[x] = AddPixel(pD[x], pS[x]);
        }
    }
}

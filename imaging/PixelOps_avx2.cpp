// Clear, Fade and the additive blit on 256-bit packed bytes: eight pixels per register, the last few
// pixels of a run with 128-bit operations.
#include "imaging/PixelOps.h"

#include <immintrin.h>

namespace {

__m256i Load8(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

void Store8(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

__m128i Load4(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void Store4(uint32_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

} // namespace

void ClearPixels_avx2(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const __m256i v = _mm256_set1_epi32(static_cast<int32_t>(dwValue));
    size_t i = 0;
    for (; i + 8 <= nCount; i += 8) {
        Store8(pPixels + i, v);
    }
    for (; i < nCount; ++i) {
        pPixels[i] = dwValue;
    }
}

void FadePixels_avx2(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const __m256i v = _mm256_set1_epi32(static_cast<int32_t>(dwValue));
    size_t i = 0;
    for (; i + 8 <= nCount; i += 8) {
        Store8(pPixels + i, _mm256_subs_epu8(Load8(pPixels + i), v));
    }
    if (i + 4 <= nCount) {
        Store4(pPixels + i, _mm_subs_epu8(Load4(pPixels + i), _mm256_castsi256_si128(v)));
        i += 4;
    }
    for (; i < nCount; ++i) {
        pPixels[i] = FadePixel(pPixels[i], dwValue);
    }
}

void BlitAddRows_avx2(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                      size_t nWidth, size_t nRows) {
    for (size_t y = 0; y < nRows; ++y) {
        uint32_t* pD = pDst + y * nDstStride;
        const uint32_t* pS = pSrc + y * nSrcStride;
        size_t x = 0;
        for (; x + 8 <= nWidth; x += 8) {
            Store8(pD + x, _mm256_adds_epu8(Load8(pD + x), Load8(pS + x)));
        }
        if (x + 4 <= nWidth) {
            Store4(pD + x, _mm_adds_epu8(Load4(pD + x), Load4(pS + x)));
            x += 4;
        }
        for (; x < nWidth; ++x) {
            pD[x] = AddPixel(pD[x], pS[x]);
        }
    }
}

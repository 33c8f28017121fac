// Clear, Fade and the additive blit on 64-bit packed bytes: two pixels per register.
#include "imaging/PixelOps.h"

#include <cstring>
#include <mmintrin.h>

namespace {

__m64 Load2(const uint32_t* p) {
    __m64 v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

void Store2(uint32_t* p, __m64 v) {
    std::memcpy(p, &v, sizeof(v));
}

} // namespace

void ClearPixels_mmx(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const __m64 v = _mm_set1_pi32(static_cast<int32_t>(dwValue));
    size_t i = 0;
    for (; i + 2 <= nCount; i += 2) {
        Store2(pPixels + i, v);
    }
    _mm_empty();
    if (i < nCount) {
        pPixels[i] = dwValue;
    }
}

void FadePixels_mmx(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const __m64 v = _mm_set1_pi32(static_cast<int32_t>(dwValue));
    size_t i = 0;
    for (; i + 2 <= nCount; i += 2) {
        Store2(pPixels + i, _mm_subs_pu8(Load2(pPixels + i), v));
    }
    _mm_empty();
    if (i < nCount) {
        pPixels[i] = FadePixel(pPixels[i], dwValue);
    }
}

void BlitAddRows_mmx(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                     size_t nWidth, size_t nRows) {
    for (size_t y = 0; y < nRows; ++y) {
        uint32_t* pD = pDst + y * nDstStride;
        const uint32_t* pS = pSrc + y * nSrcStride;
        size_t x = 0;
        for (; x + 2 <= nWidth; x += 2) {
            Store2(pD + x, _mm_adds_pu8(Load2(pD + x), Load2(pS + x)));
        }
        if (x < nWidth) {
            pD[x] = AddPixel(pD[x], pS[x]);
        }
    }
    _mm_empty();
}

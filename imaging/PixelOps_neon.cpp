// Clear, Fade and the additive blit on ARM64's 128-bit Advanced SIMD registers: four pixels per register.
#include "imaging/PixelOps.h"

#include <arm_neon.h>

namespace {

uint8x16_t Load4(const uint32_t* p) {
    return vld1q_u8(reinterpret_cast<const uint8_t*>(p));
}

void Store4(uint32_t* p, uint8x16_t v) {
    vst1q_u8(reinterpret_cast<uint8_t*>(p), v);
}

} // namespace

void ClearPixels_neon(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const uint32x4_t v = vdupq_n_u32(dwValue);
    size_t i = 0;
    for (; i + 4 <= nCount; i += 4) {
        vst1q_u32(pPixels + i, v);
    }
    for (; i < nCount; ++i) {
        pPixels[i] = dwValue;
    }
}

void FadePixels_neon(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    const uint8x16_t v = vreinterpretq_u8_u32(vdupq_n_u32(dwValue));
    size_t i = 0;
    for (; i + 4 <= nCount; i += 4) {
        Store4(pPixels + i, vqsubq_u8(Load4(pPixels + i), v));
    }
    for (; i < nCount; ++i) {
        pPixels[i] = FadePixel(pPixels[i], dwValue);
    }
}

void BlitAddRows_neon(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                      size_t nWidth, size_t nRows) {
    for (size_t y = 0; y < nRows; ++y) {
        uint32_t* pD = pDst + y * nDstStride;
        const uint32_t* pS = pSrc + y * nSrcStride;
        size_t x = 0;
        for (; x + 4 <= nWidth; x += 4) {
            Store4(pD + x, vqaddq_u8(Load4(pD + x), Load4(pS + x)));
        }
        for (; x < nWidth; ++x) {
            pD[x] = AddPixel(pD[x], pS[x]);
        }
    }
}

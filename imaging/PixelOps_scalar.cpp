#include "imaging/PixelOps.h"

#include <cstring>

void ClearPixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    for (size_t i = 0; i < nCount; ++i) {
        pPixels[i] = dwValue;
    }
}

void FadePixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    for (size_t i = 0; i < nCount; ++i) {
        uint32_t dwOut = 0;
        for (int nShift = 0; nShift < 32; nShift += 8) {
            const uint32_t dwByte = (pPixels[i] >> nShift) & 0xFF;
            const uint32_t dwSub = (dwValue >> nShift) & 0xFF;
            dwOut |= (dwByte > dwSub ? dwByte - dwSub : 0) << nShift;
        }
        pPixels[i] = dwOut;
    }
}

void BlitCopyRows_scalar(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                         size_t nWidth, size_t nRows) {
    for (size_t y = 0; y < nRows; ++y) {
        // memmove: a blit of an image onto itself copies each row as if through a temporary row.
        std::memmove(pDst + y * nDstStride, pSrc + y * nSrcStride, nWidth * sizeof(uint32_t));
    }
}

void BlitAddRows_scalar(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                        size_t nWidth, size_t nRows) {
    for (size_t y = 0; y < nRows; ++y) {
        uint32_t* pD = pDst + y * nDstStride;
        const uint32_t* pS = pSrc + y * nSrcStride;
        for (size_t x = 0; x < nWidth; ++x) {
            uint32_t dwOut = 0;
            for (int nShift = 0; nShift < 32; nShift += 8) {
                const uint32_t dwSum = ((pD[x] >> nShift) & 0xFF) + ((pS[x] >> nShift) & 0xFF);
                dwOut |= (dwSum < 255 ? dwSum : 255) << nShift;
            }
            pD[x] = dwOut;
        }
    }
}

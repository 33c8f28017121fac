#include "imaging/PixelOps.h"

#include <cstring>

void ClearPixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    for (size_t i = 0; i < nCount; ++i) {
        pPixels[i] = dwValue;
    }
}

void FadePixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue) {
    for (size_t i = 0; i < nCount; ++i) {
        pPixels[i] = FadePixel(pPixels[i], dwValue);
    }
}

void BlitCopyRows_scalar(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                         size_t nWidth, size_t nRows) {
    if (nWidth == 0) {
        return; // the rows may then be empty blocks, which memmove must not be given
    }
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
            pD[x] = AddPixel(pD[x], pS[x]);
        }
    }
}

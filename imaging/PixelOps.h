// The per-byte pixel kernels behind SImage's Clear, Fade and Blit: geometry (clipping, strides) is
// SImage's, the byte arithmetic is here. The _scalar forms are the reference that any vector form must
// match bit for bit. All run on the render thread, on rows of 32-bit pixels (bytes B, G, R, fourth).
#pragma once

#include <cstddef>
#include <cstdint>

// Writes dwValue into nCount pixels.
void ClearPixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
// Each of the four bytes of nCount pixels becomes max(0, byte - the matching byte of dwValue).
void FadePixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
// Copies nRows rows of nWidth pixels (strides in pixels).
void BlitCopyRows_scalar(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                         size_t nWidth, size_t nRows);
// Each destination byte becomes min(255, destination byte + source byte), over nRows rows of nWidth pixels.
void BlitAddRows_scalar(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                        size_t nWidth, size_t nRows);

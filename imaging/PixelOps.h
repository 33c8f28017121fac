// The per-byte pixel kernels behind SImage's Clear, Fade, Blit and BumpLight: geometry (clipping, strides,
// the lit rectangle) is SImage's, the byte arithmetic is here. Every kernel has a _scalar form, the
// reference that any vector form must match bit for bit, on x86 an MMX, an SSE2 and an AVX2 form, and on
// ARM64 an Advanced SIMD (NEON) form.
// All run on the render thread, on rows of 32-bit pixels (bytes B, G, R, fourth), and never throw.
//
// SImage calls the forms of ActivePixelKernels(): the fastest the processor has, unless a test or a
// benchmark chose another with UsePixelKernels before drawing.
#pragma once

#include "framework/Processor.h"

#include <cstddef>
#include <cstdint>

// One bump-lighting run over the lit rectangle, as SImage::BumpLight works it out.
struct BumpRun {
    uint32_t* pDst;          // first lit frame pixel (top-left of the lit rectangle)
    const uint32_t* pHeight; // the height map's pixel at the same place; its four neighbours are read
    size_t nStride;          // pixels per row of the frame and of the height map
    const uint32_t* pLight;  // the light pixel that falls on the first lit pixel
    const int8_t* pDir;      // that light pixel's direction entry: horizontal, vertical
    size_t nLightStride;     // pixels per row of the light image (entries per row of its table)
    size_t nWidth;           // lit pixels per row
    size_t nRows;            // lit rows
    int32_t nShift;          // 8 - bump factor when that lies in 0..15; 16 otherwise (keeps the sign only)
};

// One form of every kernel.
struct PixelKernels {
    InstructionSet isa;
    // Writes dwValue into nCount pixels.
    void (*Clear)(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
    // Each of the four bytes of nCount pixels becomes max(0, byte - the matching byte of dwValue).
    void (*Fade)(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
    // Copies nRows rows of nWidth pixels (strides in pixels).
    void (*BlitCopyRows)(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                         size_t nWidth, size_t nRows);
    // Each destination byte becomes min(255, destination byte + source byte), over nRows rows of nWidth.
    void (*BlitAddRows)(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                        size_t nWidth, size_t nRows);
    // Lights every pixel of the run from the height map's slopes, the light and its directions.
    void (*BumpLightRows)(const BumpRun& run);
};

// The kernels of one instruction set; null when they are not built for this processor family or the
// processor lacks the set.
const PixelKernels* GetPixelKernels(InstructionSet isa);
// The kernels SImage uses now (the best available until UsePixelKernels is called).
const PixelKernels& ActivePixelKernels();
// Makes SImage use the given kernels (tests and benchmarks; before the render thread starts).
void UsePixelKernels(const PixelKernels& kernels);

void ClearPixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void FadePixels_scalar(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void BlitCopyRows_scalar(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                         size_t nWidth, size_t nRows);
void BlitAddRows_scalar(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                        size_t nWidth, size_t nRows);
void BumpLightRows_scalar(const BumpRun& run);

// One pixel of Fade and of the additive blit (every form uses them for the pixels left over at the end of a
// run). These helpers are static: each form's file is compiled for its own instruction set, and a shared
// out-of-line copy could be one the processor cannot run.
static inline uint32_t FadePixel(uint32_t dwPixel, uint32_t dwValue) {
    uint32_t dwOut = 0;
    for (int nBit = 0; nBit < 32; nBit += 8) {
        const uint32_t dwByte = (dwPixel >> nBit) & 0xFF;
        const uint32_t dwSub = (dwValue >> nBit) & 0xFF;
        dwOut |= (dwByte > dwSub ? dwByte - dwSub : 0) << nBit;
    }
    return dwOut;
}

static inline uint32_t AddPixel(uint32_t dwDst, uint32_t dwSrc) {
    uint32_t dwOut = 0;
    for (int nBit = 0; nBit < 32; nBit += 8) {
        const uint32_t dwSum = ((dwDst >> nBit) & 0xFF) + ((dwSrc >> nBit) & 0xFF);
        dwOut |= (dwSum < 255 ? dwSum : 255) << nBit;
    }
    return dwOut;
}

// The lit value of one frame pixel (the scalar rule, shared by every form for the pixels left over at the
// end of a row). pHeight points at the height map's pixel under it, pDir at its direction entry.
static inline uint32_t BumpLightPixel(uint32_t dwDst, const uint32_t* pHeight, size_t nStride,
                                      uint32_t dwLight, const int8_t* pDir, int32_t nShift) {
    const auto byteOf = [](uint32_t dw, int nBit) { return static_cast<int32_t>((dw >> nBit) & 0xFF); };
    const auto sat16 = [](int32_t n) { return n < -32768 ? -32768 : n > 32767 ? 32767 : n; };
    // A shift of 16 or more keeps only the sign, as the 16-bit arithmetic shift of the vector forms does.
    const int32_t nBits = nShift < 15 ? nShift : 15;
    const int32_t ex = pDir[0];
    const int32_t ey = pDir[1];
    uint32_t dwOut = 0;
    for (int nBit = 0; nBit < 32; nBit += 8) {
        const int32_t gx = byteOf(pHeight[1], nBit) - byteOf(pHeight[-1], nBit);
        const int32_t gy =
            byteOf(pHeight[nStride], nBit) - byteOf(pHeight[-static_cast<ptrdiff_t>(nStride)], nBit);
        const int32_t l = byteOf(dwLight, nBit);
        // The products keep their low 16 bits only: above 32767 they wrap to negative values.
        const int32_t px = static_cast<int16_t>(static_cast<uint16_t>(gx * l));
        const int32_t py = static_cast<int16_t>(static_cast<uint16_t>(gy * l));
        const int32_t sx = px >> nBits;
        const int32_t sy = py >> nBits;
        const int32_t tx = sat16((sx * ex) >> 7);
        const int32_t ty = sat16((sy * ey) >> 7);
        const int32_t o = sat16(byteOf(dwDst, nBit) + sat16(tx + ty));
        dwOut |= static_cast<uint32_t>(o < 0 ? 0 : o > 255 ? 255 : o) << nBit;
    }
    return dwOut;
}

#if LV_X86_KERNELS
void ClearPixels_mmx(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void FadePixels_mmx(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void BlitAddRows_mmx(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                     size_t nWidth, size_t nRows);
void BumpLightRows_mmx(const BumpRun& run);

void ClearPixels_sse2(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void FadePixels_sse2(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void BlitAddRows_sse2(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                      size_t nWidth, size_t nRows);
void BumpLightRows_sse2(const BumpRun& run);

void ClearPixels_avx2(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void FadePixels_avx2(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void BlitAddRows_avx2(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                      size_t nWidth, size_t nRows);
void BumpLightRows_avx2(const BumpRun& run);
#endif
#if LV_NEON_KERNELS
void ClearPixels_neon(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void FadePixels_neon(uint32_t* pPixels, size_t nCount, uint32_t dwValue);
void BlitAddRows_neon(uint32_t* pDst, size_t nDstStride, const uint32_t* pSrc, size_t nSrcStride,
                      size_t nWidth, size_t nRows);
void BumpLightRows_neon(const BumpRun& run);
#endif

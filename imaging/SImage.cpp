#include "imaging/SImage.h"

#include "framework/Memory.h"
#include "framework/SString.h"
#include "imaging/PixelOps.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The 14-byte file header and the 40-byte information header; the pixel rows always start here.
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kPixelOffset = 14 + kInfoHeaderSize;

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t ReadI32(const uint8_t* p) {
    return static_cast<int32_t>(ReadU32(p));
}

} // namespace

SImage::SImage(int32_t nWidth, int32_t nHeight)
    : width(0), height(0), pixelBlock(nullptr), directionTable(nullptr), pixels(nullptr) {
    Allocate(nWidth, nHeight);
}

SImage::SImage(const char* pszName, int32_t dwLoadType, ModuleHandle hModule)
    : width(0), height(0), pixelBlock(nullptr), directionTable(nullptr), pixels(nullptr) {
    LoadBmp(pszName, dwLoadType, hModule);
}

SImage::~SImage() {
    Release();
}

void SImage::Allocate(int32_t nWidth, int32_t nHeight) {
    if (nWidth < 0) {
        throw SString(Tr("nWidth is invalid. nWidth=%x\n"), static_cast<unsigned>(nWidth));
    }
    if (nHeight < 0) {
        throw SString(Tr("nHeight is invalid. nHeight=%x\n"), static_cast<unsigned>(nHeight));
    }
    // The block size is a 32-bit quantity; one that does not fit cannot be had, rather than a wrapped,
    // too small block that the pixel loops would overrun.
    const uint64_t qwBytes = static_cast<uint64_t>(nWidth) * static_cast<uint64_t>(nHeight) * 4u + 7u;
    if (qwBytes > 0xFFFFFFFFu) {
        throw SString("%s", OutOfMemoryText());
    }
    void* pBlock = MemAlloc(static_cast<size_t>(qwBytes));
    // Zero-filled, so that a height map smaller than its image leaves a defined (black) remainder.
    std::memset(pBlock, 0, static_cast<size_t>(qwBytes));
    // Callers size empty images only; should one be sized already, its block is given back, not leaked.
    Release();
    pixelBlock = pBlock;
    pixels =
        reinterpret_cast<uint32_t*>((reinterpret_cast<uintptr_t>(pBlock) + 7u) & ~static_cast<uintptr_t>(7));
    width = nWidth;
    height = nHeight;
}

void SImage::LoadBmp(const char* pszName, int32_t dwLoadType, ModuleHandle hModule) {
    if (dwLoadType != LOAD_FILE && dwLoadType != LOAD_RESOURCE) {
        throw SString(Tr("The dwLoadType parameter is invalid. dwLoadType=%x\n"),
                      static_cast<unsigned>(dwLoadType));
    }
    SInput input;
    input.Load(pszName, dwLoadType, hModule);
    const uint8_t* pData = input.m_pData;
    const uint32_t dwSize = input.m_dwSize;

    // The checks run in a fixed order; each reads only bytes that the data holds.
    if (dwSize < 2 || ReadU16(pData) != 0x4D42) {
        throw SString(Tr("Not a bitmap file."));
    }
    if (dwSize < kPixelOffset || ReadU32(pData + 14) != kInfoHeaderSize) {
        throw SString(Tr("The BITMAPINFOHEADER is invalid."));
    }
    if (ReadU16(pData + 26) != 1 || ReadU32(pData + 30) != 0 || ReadU16(pData + 28) != 24) {
        throw SString(Tr("Unsupported bitmap."));
    }
    const int32_t nPicWidth = ReadI32(pData + 18);
    const int32_t nPicHeight = ReadI32(pData + 22);
    // Top-down pictures (negative height) and empty ones are not read.
    if (nPicWidth <= 0 || nPicHeight <= 0) {
        throw SString(Tr("Unsupported bitmap."));
    }
    // Each stored row is rounded up to a multiple of four bytes. In 64 bits nothing here can wrap.
    const uint64_t qwRowLength =
        static_cast<uint64_t>(nPicWidth) * 3u + (static_cast<uint32_t>(nPicWidth) & 3u);
    if (qwRowLength * static_cast<uint64_t>(nPicHeight) > dwSize - kPixelOffset) {
        throw SString(Tr("The bitmap data of %s ends early.\n"), pszName);
    }

    if (pixels == nullptr) {
        Allocate(nPicWidth, nPicHeight);
    }
    const int32_t nCopyWidth = std::min(width, nPicWidth);
    const int32_t nCopyHeight = std::min(height, nPicHeight);
    for (int32_t y = 0; y < nCopyHeight; ++y) {
        // Rows are stored bottom-up: the top row is the last one.
        const uint8_t* pRow = pData + kPixelOffset + static_cast<uint64_t>(nPicHeight - 1 - y) * qwRowLength;
        uint32_t* pOut = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int32_t x = 0; x < nCopyWidth; ++x) {
            const uint8_t* pPixel = pRow + 3 * static_cast<size_t>(x);
            pOut[x] = static_cast<uint32_t>(pPixel[0]) | (static_cast<uint32_t>(pPixel[1]) << 8) |
                      (static_cast<uint32_t>(pPixel[2]) << 16);
        }
    }
}

void SImage::Release() {
    MemFree(directionTable);
    MemFree(pixelBlock);
    width = 0;
    height = 0;
    pixelBlock = nullptr;
    directionTable = nullptr;
    pixels = nullptr;
}

void SImage::Clear(uint32_t dwValue) {
    ActivePixelKernels().Clear(pixels, static_cast<size_t>(width) * static_cast<size_t>(height), dwValue);
}

void SImage::Fade(uint32_t dwValue) {
    ActivePixelKernels().Fade(pixels, static_cast<size_t>(width) * static_cast<size_t>(height), dwValue);
}

void SImage::Blit(int32_t x, int32_t y, const SImage& source, int32_t nMode) {
    if (nMode != BLIT_COPY && nMode != BLIT_ADD) {
        return;
    }
    // Rectangle intersection with exclusive right and bottom edges, in 64 bits so that a position near
    // the ends of the 32-bit range cannot wrap.
    const int64_t nLeft = std::max<int64_t>(0, x);
    const int64_t nTop = std::max<int64_t>(0, y);
    const int64_t nRight = std::min<int64_t>(width, static_cast<int64_t>(x) + source.width);
    const int64_t nBottom = std::min<int64_t>(height, static_cast<int64_t>(y) + source.height);
    if (nRight <= nLeft || nBottom <= nTop) {
        return;
    }
    const int64_t nSrcX = x < 0 ? -static_cast<int64_t>(x) : 0;
    const int64_t nSrcY = y < 0 ? -static_cast<int64_t>(y) : 0;
    const size_t nDstStride = static_cast<size_t>(width);
    const size_t nSrcStride = static_cast<size_t>(source.width);
    uint32_t* pDst = pixels + static_cast<size_t>(nTop) * nDstStride + static_cast<size_t>(nLeft);
    const uint32_t* pSrc =
        source.pixels + static_cast<size_t>(nSrcY) * nSrcStride + static_cast<size_t>(nSrcX);
    const size_t nRunWidth = static_cast<size_t>(nRight - nLeft);
    const size_t nRunRows = static_cast<size_t>(nBottom - nTop);
    if (nMode == BLIT_COPY) {
        ActivePixelKernels().BlitCopyRows(pDst, nDstStride, pSrc, nSrcStride, nRunWidth, nRunRows);
    } else {
        ActivePixelKernels().BlitAddRows(pDst, nDstStride, pSrc, nSrcStride, nRunWidth, nRunRows);
    }
}

void SImage::DrawGlow(int32_t radius, uint32_t color) {
    if (radius <= 0 || radius > width / 2 || radius > height / 2) {
        return;
    }
    const double b = color & 0xFF;
    const double g = (color >> 8) & 0xFF;
    const double r = (color >> 16) & 0xFF;
    const int32_t nSide = 2 * radius;
    for (int32_t j = 0; j < nSide; ++j) {
        uint32_t* pRow = pixels + static_cast<size_t>(j) * static_cast<size_t>(width);
        for (int32_t c = 0; c < nSide; ++c) {
            const double dx = radius - 1 - c;
            const double dy = radius - 1 - j;
            const double d = std::sqrt(dx * dx + dy * dy);
            uint32_t dwPixel = 0;
            if (d <= radius) {
                const double k = (1.0 - d / radius) * (1.0 - d / radius);
                dwPixel = static_cast<uint32_t>(k * b) | (static_cast<uint32_t>(k * g) << 8) |
                          (static_cast<uint32_t>(k * r) << 16);
            }
            pRow[c] = dwPixel;
        }
    }
}

void SImage::BuildDirectionTable(int32_t kind) {
    if (kind != 1) {
        return;
    }
    auto* pTable =
        static_cast<int8_t*>(MemAlloc(static_cast<size_t>(width) * static_cast<size_t>(height) * 2));
    const int64_t cx = width / 2;
    const int64_t cy = height / 2;
    int8_t* pEntry = pTable;
    for (int64_t y = 0; y < height; ++y) {
        for (int64_t x = 0; x < width; ++x, pEntry += 2) {
            const int64_t dx = x - cx;
            const int64_t dy = y - cy;
            const int64_t d = (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
            if (d == 0) {
                pEntry[0] = 64;
                pEntry[1] = 64;
            } else {
                // trunc(128 * dx / d - 0.5) in integers: the quotient rounds toward zero like the cast.
                pEntry[0] = static_cast<int8_t>((256 * dx - d) / (2 * d));
                pEntry[1] = static_cast<int8_t>((256 * dy - d) / (2 * d));
            }
        }
    }
    MemFree(directionTable);
    directionTable = pTable;
}

void SImage::BumpLight(const SImage& heightMap, int32_t lightX, int32_t lightY, const SImage& light,
                       int32_t bumpFactor) {
    if (heightMap.width != width || heightMap.height != height || light.directionTable == nullptr) {
        return;
    }
    // The inner rectangle (every lit pixel reads its four neighbours) cut by the light's square, in 64
    // bits so that no position can wrap.
    const int64_t nLightLeft = static_cast<int64_t>(lightX) - light.width / 2;
    const int64_t nLightTop = static_cast<int64_t>(lightY) - light.height / 2;
    const int64_t nLeft = std::max<int64_t>(1, nLightLeft);
    const int64_t nTop = std::max<int64_t>(1, nLightTop);
    const int64_t nRight = std::min<int64_t>(width - 1, static_cast<int64_t>(lightX) + light.width / 2);
    const int64_t nBottom = std::min<int64_t>(height - 1, static_cast<int64_t>(lightY) + light.height / 2);
    if (nRight <= nLeft || nBottom <= nTop) {
        return;
    }
    const size_t nStride = static_cast<size_t>(width);
    const size_t nLightStride = static_cast<size_t>(light.width);
    const size_t nFirst = static_cast<size_t>(nTop) * nStride + static_cast<size_t>(nLeft);
    const size_t nLightFirst =
        static_cast<size_t>(nTop - nLightTop) * nLightStride + static_cast<size_t>(nLeft - nLightLeft);
    // Shifts outside 0..15 keep only the sign of the weighted slope; 16 says so to every form.
    const int64_t nShift = 8 - static_cast<int64_t>(bumpFactor);
    BumpRun run;
    run.pDst = pixels + nFirst;
    run.pHeight = heightMap.pixels + nFirst;
    run.nStride = nStride;
    run.pLight = light.pixels + nLightFirst;
    run.pDir = light.directionTable + 2 * nLightFirst;
    run.nLightStride = nLightStride;
    run.nWidth = static_cast<size_t>(nRight - nLeft);
    run.nRows = static_cast<size_t>(nBottom - nTop);
    run.nShift = nShift < 0 || nShift > 15 ? 16 : static_cast<int32_t>(nShift);
    ActivePixelKernels().BumpLightRows(run);
}

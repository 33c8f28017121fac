#include "display/PixelConvert.h"

#include <cstring>

namespace {

template <class Pack>
void ConvertRows16(void* pDest, int32_t lPitch, const uint32_t* pSource, Pack pack) {
    for (int32_t y = 0; y < kConvertHeight; ++y) {
        uint8_t* pRow = SurfaceRow(pDest, lPitch, y);
        const uint32_t* pIn = pSource + static_cast<size_t>(y) * kConvertWidth;
        for (int32_t x = 0; x < kConvertWidth; ++x) {
            const uint32_t p = pIn[x];
            const uint16_t w = pack((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
            // Little-endian whatever the host, as the surface expects.
            pRow[2 * x] = static_cast<uint8_t>(w);
            pRow[2 * x + 1] = static_cast<uint8_t>(w >> 8);
        }
    }
}

} // namespace

void ConvertTo565_scalar(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows16(pDest, lPitch, pSource, [](uint32_t r, uint32_t g, uint32_t b) {
        return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    });
}

void ConvertTo555_scalar(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows16(pDest, lPitch, pSource, [](uint32_t r, uint32_t g, uint32_t b) {
        return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
    });
}

void CopyRows32_scalar(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    for (int32_t y = 0; y < kConvertHeight; ++y) {
        std::memcpy(SurfaceRow(pDest, lPitch, y), pSource + static_cast<size_t>(y) * kConvertWidth,
                    kConvertWidth * sizeof(uint32_t));
    }
}

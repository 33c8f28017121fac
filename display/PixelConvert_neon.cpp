// 32-bit to 16-bit pixels on ARM64's Advanced SIMD: eight pixels per step, split into their blue, green,
// red and fourth bytes by one de-interleaving load, each channel cut to its field and the fields joined.
#include "display/PixelConvert.h"

#include <arm_neon.h>
#include <cstddef>

namespace {

template <bool b565>
void ConvertRows(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    for (int32_t y = 0; y < kConvertHeight; ++y) {
        // AArch64 Linux and Windows are little-endian, as the surface's 16-bit values are.
        uint8_t* pRow = SurfaceRow(pDest, lPitch, y);
        const uint8_t* pIn =
            reinterpret_cast<const uint8_t*>(pSource + static_cast<size_t>(y) * kConvertWidth);
        for (int32_t x = 0; x < kConvertWidth; x += 8) {
            const uint8x8x4_t bgra = vld4_u8(pIn + 4 * x);
            const uint16x8_t r = vmovl_u8(vshr_n_u8(bgra.val[2], 3));
            const uint16x8_t g = vmovl_u8(b565 ? vshr_n_u8(bgra.val[1], 2) : vshr_n_u8(bgra.val[1], 3));
            const uint16x8_t b = vmovl_u8(vshr_n_u8(bgra.val[0], 3));
            const uint16x8_t out = vorrq_u16(vorrq_u16(vshlq_n_u16(r, b565 ? 11 : 10), vshlq_n_u16(g, 5)), b);
            vst1q_u8(pRow + 2 * x, vreinterpretq_u8_u16(out)); // the pitch need not keep 16-bit alignment
        }
    }
}

} // namespace

void ConvertTo565_neon(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<true>(pDest, lPitch, pSource);
}

void ConvertTo555_neon(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<false>(pDest, lPitch, pSource);
}

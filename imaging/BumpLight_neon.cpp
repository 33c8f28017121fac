// Bump lighting on ARM64's Advanced SIMD: each pixel's four bytes as four signed 16-bit lanes, two pixels
// per register, four pixels per step. The lane arithmetic is the scalar rule's step by step: the 16-bit
// wrapping product, the arithmetic shift, the direction product in 32 bits narrowed with saturation, the
// saturating sum, and the final clamp to 0..255.
#include "imaging/PixelOps.h"

#include <arm_neon.h>

namespace {

uint8x16_t Load4(const uint32_t* p) {
    return vld1q_u8(reinterpret_cast<const uint8_t*>(p));
}

// One slope's share for two pixels: ((slope * light wrapped to 16 bits) >> shift) * direction >> 7,
// saturated to 16 bits.
int16x8_t Term(int16x8_t g, int16x8_t l, int16x8_t e, int16x8_t shift) {
    const int16x8_t s = vshlq_s16(vmulq_s16(g, l), shift); // a negative count shifts right arithmetically
    const int32x4_t lo = vmull_s16(vget_low_s16(s), vget_low_s16(e));
    const int32x4_t hi = vmull_high_s16(s, e);
    return vqshrn_high_n_s32(vqshrn_n_s32(lo, 7), hi, 7);
}

// Slope (right minus left, or below minus above) of two pixels' bytes as signed 16-bit lanes.
int16x8_t Slope(uint8x8_t a, uint8x8_t b) {
    return vreinterpretq_s16_u16(vsubl_u8(a, b));
}

// The lit bytes of two pixels.
uint8x8_t LightPair(uint8x8_t d, uint8x8_t hl, uint8x8_t hr, uint8x8_t hu, uint8x8_t hd, uint8x8_t lt,
                    int16x8_t ex, int16x8_t ey, int16x8_t shift) {
    const int16x8_t l = vreinterpretq_s16_u16(vmovl_u8(lt));
    const int16x8_t t = vqaddq_s16(Term(Slope(hr, hl), l, ex, shift), Term(Slope(hd, hu), l, ey, shift));
    return vqmovun_s16(vqaddq_s16(vreinterpretq_s16_u16(vmovl_u8(d)), t));
}

} // namespace

void BumpLightRows_neon(const BumpRun& run) {
    const int16x8_t shift = vdupq_n_s16(static_cast<int16_t>(-(run.nShift < 15 ? run.nShift : 15)));
    const size_t nStride = run.nStride;
    for (size_t y = 0; y < run.nRows; ++y) {
        uint32_t* pDst = run.pDst + y * nStride;
        const uint32_t* pHeight = run.pHeight + y * nStride;
        const uint32_t* pLight = run.pLight + y * run.nLightStride;
        const int8_t* pDir = run.pDir + 2 * y * run.nLightStride;
        size_t x = 0;
        for (; x + 4 <= run.nWidth; x += 4) {
            const uint32_t* h = pHeight + x;
            const uint8x16_t hl = Load4(h - 1);
            const uint8x16_t hr = Load4(h + 1);
            const uint8x16_t hu = Load4(h - nStride);
            const uint8x16_t hd = Load4(h + nStride);
            const uint8x16_t lt = Load4(pLight + x);
            const uint8x16_t d = Load4(pDst + x);
            // ex0 ey0 ex1 ey1 ex2 ey2 ex3 ey3 -> each component repeated over its pixel's four lanes.
            const int16x8_t e = vmovl_s8(vld1_s8(pDir + 2 * x));
            const int16x8_t exs = vuzp1q_s16(e, e);
            const int16x8_t eys = vuzp2q_s16(e, e);
            const int16x8_t ex2 = vzip1q_s16(exs, exs);
            const int16x8_t ey2 = vzip1q_s16(eys, eys);
            const uint8x8_t out01 =
                LightPair(vget_low_u8(d), vget_low_u8(hl), vget_low_u8(hr), vget_low_u8(hu), vget_low_u8(hd),
                          vget_low_u8(lt), vzip1q_s16(ex2, ex2), vzip1q_s16(ey2, ey2), shift);
            const uint8x8_t out23 = LightPair(vget_high_u8(d), vget_high_u8(hl), vget_high_u8(hr),
                                              vget_high_u8(hu), vget_high_u8(hd), vget_high_u8(lt),
                                              vzip2q_s16(ex2, ex2), vzip2q_s16(ey2, ey2), shift);
            vst1q_u8(reinterpret_cast<uint8_t*>(pDst + x), vcombine_u8(out01, out23));
        }
        for (; x < run.nWidth; ++x) {
            pDst[x] = BumpLightPixel(pDst[x], pHeight + x, nStride, pLight[x], pDir + 2 * x, run.nShift);
        }
    }
}

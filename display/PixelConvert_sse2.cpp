// 32-bit to 16-bit pixels with 128-bit packed integers, eight pixels per step (see the MMX form for the
// multiply-add that places red and blue).
#include "display/PixelConvert.h"

#include <emmintrin.h>

namespace {

template <bool b565>
__m128i Pack4(const uint32_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i rb = _mm_madd_epi16(_mm_and_si128(v, _mm_set1_epi32(0x00F800F8)),
                                      _mm_set1_epi32(b565 ? 0x20000004 : 0x20000008));
    const __m128i g = _mm_and_si128(v, _mm_set1_epi32(b565 ? 0xFC00 : 0xF800));
    const __m128i c = _mm_srli_epi32(_mm_or_si128(rb, g), b565 ? 5 : 6);
    // 5-6-5 values reach 0xFFFF; read as signed 16-bit they pass the signed pack unchanged.
    return b565 ? _mm_srai_epi32(_mm_slli_epi32(c, 16), 16) : c;
}

template <bool b565>
void ConvertRows(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    for (int32_t y = 0; y < kConvertHeight; ++y) {
        uint8_t* pRow = SurfaceRow(pDest, lPitch, y);
        const uint32_t* pIn = pSource + static_cast<size_t>(y) * kConvertWidth;
        for (int32_t x = 0; x < kConvertWidth; x += 8) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pRow + 2 * x),
                             _mm_packs_epi32(Pack4<b565>(pIn + x), Pack4<b565>(pIn + x + 4)));
        }
    }
}

} // namespace

void ConvertTo565_sse2(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<true>(pDest, lPitch, pSource);
}

void ConvertTo555_sse2(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<false>(pDest, lPitch, pSource);
}

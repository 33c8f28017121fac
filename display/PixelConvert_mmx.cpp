// 32-bit to 16-bit pixels with 64-bit packed integers, two pixels per register: red and blue placed by one
// multiply-add of the 16-bit halves, green masked in, one shift per pixel.
#include "display/PixelConvert.h"

#include <cstring>
#include <mmintrin.h>

namespace {

__m64 Load2(const uint32_t* p) {
    __m64 v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

// Two pixels, each to its 16-bit value in the low half of its 32-bit lane.
template <bool b565>
__m64 Pack2(__m64 v) {
    // Blue's top five bits in the low half, red's in the high half; then blue x 4 (or 8) + red x 0x2000.
    const __m64 rb = _mm_madd_pi16(_mm_and_si64(v, _mm_set1_pi32(0x00F800F8)),
                                   _mm_set1_pi32(b565 ? 0x20000004 : 0x20000008));
    const __m64 g = _mm_and_si64(v, _mm_set1_pi32(b565 ? 0xFC00 : 0xF800));
    return _mm_srli_pi32(_mm_or_si64(rb, g), b565 ? 5 : 6);
}

template <bool b565>
void ConvertRows(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    for (int32_t y = 0; y < kConvertHeight; ++y) {
        uint8_t* pRow = SurfaceRow(pDest, lPitch, y);
        const uint32_t* pIn = pSource + static_cast<size_t>(y) * kConvertWidth;
        for (int32_t x = 0; x < kConvertWidth; x += 4) {
            const __m64 a = Pack2<b565>(Load2(pIn + x));
            const __m64 b = Pack2<b565>(Load2(pIn + x + 2));
            if constexpr (b565) {
                // Values up to 0xFFFF do not survive a signed pack: join each pair within its lane instead.
                const int32_t na = _mm_cvtsi64_si32(_mm_or_si64(a, _mm_srli_si64(a, 16)));
                const int32_t nb = _mm_cvtsi64_si32(_mm_or_si64(b, _mm_srli_si64(b, 16)));
                std::memcpy(pRow + 2 * x, &na, sizeof(na));
                std::memcpy(pRow + 2 * x + 4, &nb, sizeof(nb));
            } else {
                const __m64 packed = _mm_packs_pi32(a, b); // never above 0x7FFF
                std::memcpy(pRow + 2 * x, &packed, sizeof(packed));
            }
        }
    }
    _mm_empty();
}

} // namespace

void ConvertTo565_mmx(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<true>(pDest, lPitch, pSource);
}

void ConvertTo555_mmx(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<false>(pDest, lPitch, pSource);
}

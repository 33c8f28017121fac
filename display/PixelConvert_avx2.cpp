// 32-bit to 16-bit pixels with 256-bit packed integers, sixteen pixels per step (see the MMX form for the
// multiply-add that places red and blue).
#include "display/PixelConvert.h"

#include <immintrin.h>

namespace {

template <bool b565>
__m256i Pack8(const uint32_t* p) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i rb = _mm256_madd_epi16(_mm256_and_si256(v, _mm256_set1_epi32(0x00F800F8)),
                                         _mm256_set1_epi32(b565 ? 0x20000004 : 0x20000008));
    const __m256i g = _mm256_and_si256(v, _mm256_set1_epi32(b565 ? 0xFC00 : 0xF800));
    return _mm256_srli_epi32(_mm256_or_si256(rb, g), b565 ? 5 : 6);
}

template <bool b565>
void ConvertRows(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    for (int32_t y = 0; y < kConvertHeight; ++y) {
        uint8_t* pRow = SurfaceRow(pDest, lPitch, y);
        const uint32_t* pIn = pSource + static_cast<size_t>(y) * kConvertWidth;
        for (int32_t x = 0; x < kConvertWidth; x += 16) {
            const __m256i a = Pack8<b565>(pIn + x);
            const __m256i b = Pack8<b565>(pIn + x + 8);
            // The packs work within 128-bit halves; the permute puts the four 64-bit results in order.
            const __m256i packed = b565 ? _mm256_packus_epi32(a, b) : _mm256_packs_epi32(a, b);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pRow + 2 * x),
                                _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0)));
        }
    }
}

} // namespace

void ConvertTo565_avx2(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<true>(pDest, lPitch, pSource);
}

void ConvertTo555_avx2(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    ConvertRows<false>(pDest, lPitch, pSource);
}

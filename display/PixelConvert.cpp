#include "display/PixelConvert.h"

namespace {

// The 32-bit copy is one memcpy per row in every form: the library's copy is already as wide as it gets.
constexpr ConvertKernels kScalar = {ISA_SCALAR, ConvertTo565_scalar, ConvertTo555_scalar, CopyRows32_scalar};
#if LV_X86_KERNELS
constexpr ConvertKernels kMmx = {ISA_MMX, ConvertTo565_mmx, ConvertTo555_mmx, CopyRows32_scalar};
constexpr ConvertKernels kSse2 = {ISA_SSE2, ConvertTo565_sse2, ConvertTo555_sse2, CopyRows32_scalar};
constexpr ConvertKernels kAvx2 = {ISA_AVX2, ConvertTo565_avx2, ConvertTo555_avx2, CopyRows32_scalar};
#endif

const ConvertKernels& Best() {
    static const ConvertKernels* const pBest = [] {
        for (int32_t n = ISA_COUNT - 1; n > ISA_SCALAR; --n) {
            if (const ConvertKernels* pKernels = GetConvertKernels(static_cast<InstructionSet>(n))) {
                return pKernels;
            }
        }
        return &kScalar;
    }();
    return *pBest;
}

} // namespace

const ConvertKernels* GetConvertKernels(InstructionSet isa) {
    if (!ProcessorHas(isa)) {
        return nullptr;
    }
    switch (isa) {
    case ISA_SCALAR:
        return &kScalar;
#if LV_X86_KERNELS
    case ISA_MMX:
        return &kMmx;
    case ISA_SSE2:
        return &kSse2;
    case ISA_AVX2:
        return &kAvx2;
#endif
    default:
        return nullptr;
    }
}

void ConvertTo565(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    Best().ConvertTo565(pDest, lPitch, pSource);
}

void ConvertTo555(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    Best().ConvertTo555(pDest, lPitch, pSource);
}

void CopyRows32(void* pDest, int32_t lPitch, const uint32_t* pSource) {
    Best().CopyRows32(pDest, lPitch, pSource);
}

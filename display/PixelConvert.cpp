#include "display/PixelConvert.h"

namespace {

// The 32-bit copy is one memcpy per row in every form: the library's copy is already as wide as it gets.
constexpr ConvertKernels kScalar = {ISA_SCALAR, ConvertTo565_scalar, ConvertTo555_scalar, CopyRows32_scalar};
#if LV_X86_KERNELS
constexpr ConvertKernels kMmx = {ISA_MMX, ConvertTo565_mmx, ConvertTo555_mmx, CopyRows32_scalar};
constexpr ConvertKernels kSse2 = {ISA_SSE2, ConvertTo565_sse2, ConvertTo555_sse2, CopyRows32_scalar};
constexpr ConvertKernels kAvx2 = {ISA_AVX2, ConvertTo565_avx2, ConvertTo555_avx2, CopyRows32_scalar};
#endif
#if LV_NEON_KERNELS
constexpr ConvertKernels kNeon = {ISA_NEON, ConvertTo565_neon, ConvertTo555_neon, CopyRows32_scalar};
#endif

constexpr const ConvertKernels* kForms[ISA_COUNT] = {
    &kScalar,
#if LV_X86_KERNELS
    &kMmx,    &kSse2, &kAvx2, nullptr,
#elif LV_NEON_KERNELS
    nullptr,  nullptr, nullptr, &kNeon,
#endif
};

const ConvertKernels& Best() {
    static const ConvertKernels* const pBest = BestForm(kForms);
    return *pBest;
}

} // namespace

const ConvertKernels* GetConvertKernels(InstructionSet isa) {
    return PickForm(kForms, isa);
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

// The table of kernel forms per instruction set, and the choice SImage draws with.
#include "imaging/PixelOps.h"

#include <atomic>

namespace {

// The copy is the C library's memmove in every form: it is already written with the widest vectors the
// processor has, and it keeps a blit of an image onto itself well defined row by row.
constexpr PixelKernels kScalar = {ISA_SCALAR,          ClearPixels_scalar, FadePixels_scalar,
                                  BlitCopyRows_scalar, BlitAddRows_scalar, BumpLightRows_scalar};
#if LV_X86_KERNELS
constexpr PixelKernels kMmx = {ISA_MMX,         ClearPixels_mmx,  FadePixels_mmx, BlitCopyRows_scalar,
                               BlitAddRows_mmx, BumpLightRows_mmx};
constexpr PixelKernels kSse2 = {ISA_SSE2,         ClearPixels_sse2,  FadePixels_sse2, BlitCopyRows_scalar,
                                BlitAddRows_sse2, BumpLightRows_sse2};
constexpr PixelKernels kAvx2 = {ISA_AVX2,         ClearPixels_avx2,  FadePixels_avx2, BlitCopyRows_scalar,
                                BlitAddRows_avx2, BumpLightRows_avx2};
#endif
#if LV_NEON_KERNELS
constexpr PixelKernels kNeon = {ISA_NEON,         ClearPixels_neon,  FadePixels_neon, BlitCopyRows_scalar,
                                BlitAddRows_neon, BumpLightRows_neon};
#endif

constexpr const PixelKernels* kForms[ISA_COUNT] = {
    &kScalar,
#if LV_X86_KERNELS
    &kMmx,    &kSse2, &kAvx2, nullptr,
#elif LV_NEON_KERNELS
    nullptr,  nullptr, nullptr, &kNeon,
#endif
};

// Read on every pixel operation, written by tests and benchmarks before drawing; an atomic pointer keeps
// the first choice (made by whichever thread draws first) free of a data race.
std::atomic<const PixelKernels*> g_pActive{nullptr};

} // namespace

const PixelKernels* GetPixelKernels(InstructionSet isa) {
    return PickForm(kForms, isa);
}

const PixelKernels& ActivePixelKernels() {
    const PixelKernels* pKernels = g_pActive.load(std::memory_order_acquire);
    if (pKernels == nullptr) {
        pKernels = BestForm(kForms);
        g_pActive.store(pKernels, std::memory_order_release);
    }
    return *pKernels;
}

void UsePixelKernels(const PixelKernels& kernels) {
    g_pActive.store(&kernels, std::memory_order_release);
}

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

const PixelKernels* BestPixelKernels() {
    for (int32_t n = ISA_COUNT - 1; n > ISA_SCALAR; --n) {
        if (const PixelKernels* pKernels = GetPixelKernels(static_cast<InstructionSet>(n))) {
            return pKernels;
        }
    }
    return &kScalar;
}

// Read on every pixel operation, written by tests and benchmarks before drawing; an atomic pointer keeps
// the first choice (made by whichever thread draws first) free of a data race.
std::atomic<const PixelKernels*> g_pActive{nullptr};

} // namespace

const PixelKernels* GetPixelKernels(InstructionSet isa) {
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

const PixelKernels& ActivePixelKernels() {
    const PixelKernels* pKernels = g_pActive.load(std::memory_order_acquire);
    if (pKernels == nullptr) {
        pKernels = BestPixelKernels();
        g_pActive.store(pKernels, std::memory_order_release);
    }
    return *pKernels;
}

void UsePixelKernels(const PixelKernels& kernels) {
    g_pActive.store(&kernels, std::memory_order_release);
}

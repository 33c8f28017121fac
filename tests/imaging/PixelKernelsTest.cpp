#include "KernelForms.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint32_t> RandomPixels(size_t n, std::mt19937& rng) {
    std::vector<uint32_t> v(n);
    for (uint32_t& p : v) {
        // Bytes near 0 and 255 half of the time, so that saturation is exercised on every lane.
        p = (rng() & 1) ? static_cast<uint32_t>(rng()) : (static_cast<uint32_t>(rng()) & 0x0F0F0F0F) * 15;
    }
    return v;
}

} // namespace

TEST(PixelKernels, EveryFormIsAvailableWhereTheProcessorHasIt) {
    ASSERT_NE(GetPixelKernels(ISA_SCALAR), nullptr);
    for (int32_t n = ISA_SCALAR; n < ISA_COUNT; ++n) {
        const auto isa = static_cast<InstructionSet>(n);
#if LV_X86_KERNELS
        EXPECT_EQ(GetPixelKernels(isa) != nullptr, ProcessorHas(isa)) << InstructionSetName(isa);
#endif
        if (GetPixelKernels(isa) != nullptr) {
            EXPECT_EQ(GetPixelKernels(isa)->isa, isa);
        }
    }
    // The default is the widest form there is.
    EXPECT_EQ(ActivePixelKernels().isa, PixelKernelForms().back()->isa);
}

// Runs of every length around the vector widths, with row gaps that must stay untouched.
TEST(PixelKernels, FastFormsMatchTheScalarFormOnRandomRuns) {
    const PixelKernels& ref = *GetPixelKernels(ISA_SCALAR);
    std::mt19937 rng(11);
    for (const PixelKernels* pForm : PixelKernelForms()) {
        SCOPED_TRACE(InstructionSetName(pForm->isa));
        for (int i = 0; i < 150; ++i) {
            const size_t nWidth = rng() % 40;
            const size_t nRows = 1 + rng() % 4;
            const size_t nDstStride = nWidth + rng() % 5;
            const size_t nSrcStride = nWidth + rng() % 5;
            const uint32_t dwValue = static_cast<uint32_t>(rng());
            const std::vector<uint32_t> dst = RandomPixels((nRows - 1) * nDstStride + nWidth, rng);
            const std::vector<uint32_t> src = RandomPixels((nRows - 1) * nSrcStride + nWidth, rng);

            std::vector<uint32_t> want = dst;
            std::vector<uint32_t> got = dst;
            ref.BlitAddRows(want.data(), nDstStride, src.data(), nSrcStride, nWidth, nRows);
            pForm->BlitAddRows(got.data(), nDstStride, src.data(), nSrcStride, nWidth, nRows);
            ASSERT_EQ(got, want) << "add " << nWidth << "x" << nRows;

            ref.BlitCopyRows(want.data(), nDstStride, src.data(), nSrcStride, nWidth, nRows);
            pForm->BlitCopyRows(got.data(), nDstStride, src.data(), nSrcStride, nWidth, nRows);
            ASSERT_EQ(got, want) << "copy " << nWidth << "x" << nRows;

            want = dst;
            got = dst;
            ref.Fade(want.data(), want.size(), dwValue);
            pForm->Fade(got.data(), got.size(), dwValue);
            ASSERT_EQ(got, want) << "fade " << got.size() << " by " << dwValue;

            ref.Clear(want.data(), want.size(), dwValue);
            pForm->Clear(got.data(), got.size(), dwValue);
            ASSERT_EQ(got, want) << "clear " << got.size();
        }
    }
}

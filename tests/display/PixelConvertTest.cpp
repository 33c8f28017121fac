#include "display/PixelConvert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int32_t kPixels = kConvertWidth * kConvertHeight;

// Converts a frame into a surface with the given pitch, prefilled with 0xAB, and returns the surface.
std::vector<uint8_t> Convert(void (*pConvert)(void*, int32_t, const uint32_t*),
                             const std::vector<uint32_t>& frame, int32_t lPitch) {
    std::vector<uint8_t> surface(static_cast<size_t>(lPitch) * kConvertHeight, 0xAB);
    pConvert(surface.data(), lPitch, frame.data());
    return surface;
}

uint16_t Out16(const std::vector<uint8_t>& surface, int32_t lPitch, int32_t x, int32_t y) {
    const size_t i = static_cast<size_t>(y) * lPitch + 2 * x;
    return static_cast<uint16_t>(surface[i] | (surface[i + 1] << 8));
}

} // namespace

TEST(PixelConvert, ScalarFormsCutEachChannelToItsTopBits) {
    const struct {
        uint32_t in;
        uint16_t w565;
        uint16_t w555;
    } cases[] = {{0x00FFFFFF, 0xFFFF, 0x7FFF}, {0x00070307, 0, 0},           {0x00080408, 0x0821, 0x0401},
                 {0x00FF0000, 0xF800, 0x7C00}, {0x0000FF00, 0x07E0, 0x03E0}, {0x000000FF, 0x001F, 0x001F},
                 {0xFFFFFFFF, 0xFFFF, 0x7FFF}, {0xAB080408, 0x0821, 0x0401}};
    std::vector<uint32_t> frame(kPixels);
    for (size_t i = 0; i < frame.size(); ++i) {
        frame[i] = cases[i % std::size(cases)].in;
    }
    const auto out565 = Convert(ConvertTo565_scalar, frame, 640);
    const auto out555 = Convert(ConvertTo555_scalar, frame, 640);
    for (int32_t i = 0; i < kPixels; ++i) {
        const auto& c = cases[i % std::size(cases)];
        ASSERT_EQ(Out16(out565, 640, i % 320, i / 320), c.w565) << i;
        ASSERT_EQ(Out16(out555, 640, i % 320, i / 320), c.w555) << i;
    }
}

// Every form against the scalar one on random frames, into surfaces whose padding must stay untouched.
TEST(PixelConvert, EveryFormMatchesTheScalarFormAndKeepsThePadding) {
    std::mt19937 rng(9);
    std::vector<uint32_t> frame(kPixels);
    for (uint32_t& p : frame) {
        p = static_cast<uint32_t>(rng());
    }
    const ConvertKernels& ref = *GetConvertKernels(ISA_SCALAR);
    const auto want565 = Convert(ref.ConvertTo565, frame, 1024);
    const auto want555 = Convert(ref.ConvertTo555, frame, 1024);
    const auto want32 = Convert(ref.CopyRows32, frame, 1300);
    for (int32_t y = 0; y < kConvertHeight; ++y) {
        for (int32_t b = 640; b < 1024; ++b) {
            ASSERT_EQ(want565[y * 1024 + b], 0xAB);
        }
        ASSERT_EQ(want32[y * 1300 + 1280], 0xAB);
        ASSERT_EQ(std::memcmp(&want32[y * 1300], &frame[y * 320], 1280), 0);
    }
    for (int32_t n = ISA_SCALAR; n < ISA_COUNT; ++n) {
        const ConvertKernels* pForm = GetConvertKernels(static_cast<InstructionSet>(n));
        if (pForm == nullptr) {
            continue;
        }
        SCOPED_TRACE(InstructionSetName(pForm->isa));
        EXPECT_EQ(Convert(pForm->ConvertTo565, frame, 1024), want565);
        EXPECT_EQ(Convert(pForm->ConvertTo555, frame, 1024), want555);
        EXPECT_EQ(Convert(pForm->CopyRows32, frame, 1300), want32);
        EXPECT_EQ(Convert(pForm->ConvertTo565, frame, 640), Convert(ref.ConvertTo565, frame, 640));
    }
    EXPECT_EQ(Convert(ConvertTo565, frame, 1024), want565);
    EXPECT_EQ(Convert(ConvertTo555, frame, 1024), want555);
    EXPECT_EQ(Convert(CopyRows32, frame, 1300), want32);
}

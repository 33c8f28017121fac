#include "KernelForms.h"
#include "imaging/SImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

void FillRandom(SImage& image, std::mt19937& rng) {
    for (int32_t i = 0; i < image.width * image.height; ++i) {
        image.pixels[i] = static_cast<uint32_t>(rng());
    }
}

// Lights pixel (5, 1) of a 19x3 frame, well inside the vector steps of every form, with the given light
// byte and the direction entry (127, 0): right of the light's centre, on its row. Each byte lane carries
// its own case.
uint32_t LightOne(uint32_t dwDst, uint32_t dwRight, uint32_t dwLeft, uint32_t dwLight, int32_t nBump) {
    SImage frame(19, 3);
    SImage height(19, 3);
    SImage light(40, 2); // placed at (20, 1): light pixel (x, 1) falls on frame pixel (x, 1)
    frame.pixels[19 + 5] = dwDst;
    height.pixels[19 + 6] = dwRight;
    height.pixels[19 + 4] = dwLeft;
    light.BuildDirectionTable(1);
    light.pixels[40 + 5] = dwLight;
    light.directionTable[2 * (40 + 5)] = 127;
    light.directionTable[2 * (40 + 5) + 1] = 0;
    frame.BumpLight(height, 20, 1, light, nBump);
    return frame.pixels[19 + 5];
}

// Lights a random frame and checks every pixel against the rule: inside the lit rectangle the scalar
// per-pixel rule with the light pixel that falls there, outside it unchanged.
void ExpectLightMatchesModel(SImage& frame, const SImage& height, const SImage& light, int32_t lx, int32_t ly,
                             int32_t nBump) {
    const std::vector<uint32_t> before(frame.pixels, frame.pixels + frame.width * frame.height);
    frame.BumpLight(height, lx, ly, light, nBump);
    const bool bSameSize = height.width == frame.width && height.height == frame.height;
    const int64_t nL = static_cast<int64_t>(lx) - light.width / 2;
    const int64_t nT = static_cast<int64_t>(ly) - light.height / 2;
    const int64_t nR = static_cast<int64_t>(lx) + light.width / 2;
    const int64_t nB = static_cast<int64_t>(ly) + light.height / 2;
    const int32_t nShift = nBump >= -7 && nBump <= 8 ? 8 - nBump : 16;
    for (int32_t y = 0; y < frame.height; ++y) {
        for (int32_t x = 0; x < frame.width; ++x) {
            const int32_t i = y * frame.width + x;
            const bool bLit = bSameSize && light.directionTable != nullptr && x >= std::max<int64_t>(1, nL) &&
                              x < std::min<int64_t>(frame.width - 1, nR) && y >= std::max<int64_t>(1, nT) &&
                              y < std::min<int64_t>(frame.height - 1, nB);
            uint32_t want = before[i];
            if (bLit) {
                const int64_t u = x - nL + (y - nT) * light.width;
                want = BumpLightPixel(want, height.pixels + i, frame.width, light.pixels[u],
                                      light.directionTable + 2 * u, nShift);
            }
            ASSERT_EQ(frame.pixels[i], want) << "pixel " << x << "," << y << " light at " << lx << "," << ly
                                             << " bump " << nBump << " form " << ActivePixelKernels().isa;
        }
    }
}

} // namespace

TEST(BumpLight, WeightsSlopesByLightAndDirectionWithTheSixteenBitWrap) {
    for (const PixelKernels* pForm : PixelKernelForms()) {
        ScopedPixelKernels use(*pForm);
        SCOPED_TRACE(InstructionSetName(pForm->isa));
        // Bump factor 5 (shift 3), bytes blue, green, red, fourth: slope 1 under light 255 gives +30,
        // slope -1 gives -32, slope 10 saturates at 255, slope 200 under light 200 wraps to -25536 -> 0.
        EXPECT_EQ(LightOne(0x64006464, 0xC80A0001, 0x00000100, 0xC8FFFFFF, 5), 0x00FF4482u);
        // Factor 8 (no shift): slope 1 gives 253. Factor 0 (shift 8): slope 1 gives 0, slope 10 gives 8.
        EXPECT_EQ(LightOne(0x00000000, 0xC80A0001, 0x00000100, 0xC8FFFFFF, 8), 0x00FF00FDu);
        EXPECT_EQ(LightOne(0x64006464, 0xC80A0001, 0x00000100, 0xC8FFFFFF, 0), 0x00086364u);
        // Shifts outside 0..15 keep only the sign: no byte moves by more than one here.
        for (int32_t nBump : {9, 20, -8, INT32_MIN, INT32_MAX}) {
            EXPECT_EQ(LightOne(0x64006464, 0xC80A0001, 0x00000100, 0xC8FFFFFF, nBump), 0x63006364u) << nBump;
        }
        // A light byte of 0 leaves the byte alone; slope 255 under light 255 wraps to -511 and darkens.
        EXPECT_EQ(LightOne(0x64646464, 0xFFFFFFFF, 0x00000000, 0x00FF0000, 5), 0x64246464u);
        // A flat neighbourhood changes nothing.
        EXPECT_EQ(LightOne(0x64646464, 0x80808080, 0x80808080, 0xFFFFFFFF, 8), 0x64646464u);
    }
}

TEST(BumpLight, DoesNothingWithoutATableForAnotherSizeOrOffTheFrame) {
    std::mt19937 rng(3);
    SImage frame(320, 240);
    SImage height(320, 240);
    SImage wrongSize(640, 480);
    SImage light(640, 640);
    SImage noTable(640, 640);
    FillRandom(frame, rng);
    FillRandom(height, rng);
    FillRandom(wrongSize, rng);
    light.BuildDirectionTable(1);
    light.Clear(0xFFFFFFFF);
    noTable.Clear(0xFFFFFFFF);
    const std::vector<uint32_t> before(frame.pixels, frame.pixels + 320 * 240);
    frame.BumpLight(wrongSize, 160, 120, light, 5);
    frame.BumpLight(height, 160, 120, noTable, 5);
    for (const auto& p :
         {std::pair{-319, 120}, {639, 120}, {160, -319}, {160, 559}, {INT32_MIN, INT32_MAX}}) {
        frame.BumpLight(height, p.first, p.second, light, 5);
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), frame.pixels));
}

// Every form, against the per-pixel rule, on random frames, height maps, lights and tables (directions
// beyond those the table builder makes), placed across and beyond every edge, with every bump factor.
TEST(BumpLight, EveryFormMatchesTheRuleOnRandomPlacements) {
    std::mt19937 rng(5);
    SImage frame(320, 240);
    SImage height(320, 240);
    SImage light(640, 640);
    FillRandom(height, rng);
    light.Clear(0xFFFFFFFF);
    light.BuildDirectionTable(1);
    for (const PixelKernels* pForm : PixelKernelForms()) {
        ScopedPixelKernels use(*pForm);
        // The full-size light at the limits of the positions where it still reaches the inner rectangle.
        for (const auto& p : {std::pair{160, 120}, {-318, 120}, {638, 5}, {7, -318}, {300, 558}}) {
            FillRandom(frame, rng);
            ExpectLightMatchesModel(frame, height, light, p.first, p.second, 5);
        }
        for (int i = 0; i < 250; ++i) {
            SImage small(1 + static_cast<int32_t>(rng() % 40), 1 + static_cast<int32_t>(rng() % 12));
            const bool bSameSize = rng() % 10 != 0;
            SImage smallHeight(small.width + (bSameSize ? 0 : 1), small.height);
            SImage smallLight(1 + static_cast<int32_t>(rng() % 50), 1 + static_cast<int32_t>(rng() % 30));
            FillRandom(small, rng);
            FillRandom(smallHeight, rng);
            FillRandom(smallLight, rng);
            if (rng() % 20 != 0) {
                smallLight.BuildDirectionTable(1);
                for (int32_t n = 0; n < 2 * smallLight.width * smallLight.height; ++n) {
                    smallLight.directionTable[n] = static_cast<int8_t>(rng());
                }
            }
            const int32_t lx = static_cast<int32_t>(rng() % 120) - 40;
            const int32_t ly = static_cast<int32_t>(rng() % 60) - 20;
            ExpectLightMatchesModel(small, smallHeight, smallLight, lx, ly,
                                    static_cast<int32_t>(rng() % 31) - 10);
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

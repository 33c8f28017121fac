#include "imaging/SImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

void ExpectAllPixels(const SImage& image, uint32_t dwValue) {
    for (int32_t i = 0; i < image.width * image.height; ++i) {
        ASSERT_EQ(image.pixels[i], dwValue) << "pixel " << i;
    }
}

uint32_t AddBytes(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8) {
        const uint32_t sum = ((a >> s) & 0xFF) + ((b >> s) & 0xFF);
        out |= (sum > 255 ? 255 : sum) << s;
    }
    return out;
}

// Draws source at (x, y) and checks every destination pixel against a per-pixel model of the blit.
void ExpectBlitMatchesModel(int32_t dw, int32_t dh, int32_t sw, int32_t sh, int32_t x, int32_t y,
                            int32_t nMode, std::mt19937& rng) {
    SImage dst(dw, dh);
    SImage src(sw, sh);
    for (int32_t i = 0; i < dw * dh; ++i) {
        dst.pixels[i] = static_cast<uint32_t>(rng());
    }
    for (int32_t i = 0; i < sw * sh; ++i) {
        src.pixels[i] = static_cast<uint32_t>(rng());
    }
    const std::vector<uint32_t> before(dst.pixels, dst.pixels + dw * dh);
    dst.Blit(x, y, src, nMode);
    for (int32_t py = 0; py < dh; ++py) {
        for (int32_t px = 0; px < dw; ++px) {
            const int64_t sx = static_cast<int64_t>(px) - x;
            const int64_t sy = static_cast<int64_t>(py) - y;
            uint32_t want = before[py * dw + px];
            if (sx >= 0 && sx < sw && sy >= 0 && sy < sh) {
                const uint32_t s = src.pixels[sy * sw + sx];
                want = nMode == BLIT_COPY ? s : nMode == BLIT_ADD ? AddBytes(want, s) : want;
            }
            ASSERT_EQ(dst.pixels[py * dw + px], want) << "dst " << dw << "x" << dh << " src " << sw << "x"
                                                      << sh << " at " << x << "," << y << " mode " << nMode;
        }
    }
}

} // namespace

TEST(SImageBlit, PlacementsOutsideOrEmptySourcesDrawNothing) {
    SImage dst(320, 240);
    SImage src(32, 32);
    src.Clear(0x00FFFFFF);
    SImage empty(0, 5);
    const int32_t places[][2] = {{320, 0},       {0, 240},       {-32, 0},
                                 {0, -32},       {INT32_MAX, 0}, {0, INT32_MAX},
                                 {INT32_MIN, 0}, {0, INT32_MIN}, {INT32_MAX - 10, INT32_MAX - 10}};
    for (const auto& p : places) {
        dst.Blit(p[0], p[1], src, BLIT_ADD);
        dst.Blit(p[0], p[1], src, BLIT_COPY);
    }
    dst.Blit(0, 0, empty, BLIT_COPY);
    ExpectAllPixels(dst, 0);
    // Nothing to draw into either.
    empty.Blit(0, 0, src, BLIT_ADD);
}

TEST(SImageBlit, AddSaturatesEachByteAndCopyOverwritesWithBlack) {
    SImage dst(2, 1);
    SImage src(2, 1);
    dst.pixels[0] = 0x00F0F0F0;
    src.pixels[0] = 0x00102030;
    dst.pixels[1] = 0x00C8C8C8; // 200
    src.pixels[1] = 0x00640000; // 100 into red only
    dst.Blit(0, 0, src, BLIT_ADD);
    EXPECT_EQ(dst.pixels[0], 0x00FFFFFFu);
    EXPECT_EQ(dst.pixels[1], 0x00FFC8C8u);

    // The fourth byte adds like the others.
    dst.pixels[0] = 0xF0000000;
    src.pixels[0] = 0x20000000;
    dst.Blit(0, 0, src, BLIT_ADD);
    EXPECT_EQ(dst.pixels[0], 0xFF000000u);

    src.Clear(0);
    dst.Blit(0, 0, src, BLIT_COPY);
    EXPECT_EQ(dst.pixels[0], 0u);
    EXPECT_EQ(dst.pixels[1], 0u);
}

TEST(SImageBlit, OtherModesLeaveTheDestinationUntouched) {
    SImage dst(4, 4);
    SImage src(4, 4);
    dst.Clear(0x00112233);
    src.Clear(0x00FFFFFF);
    for (int32_t nMode : {2, -1, 255}) {
        dst.Blit(0, 0, src, nMode);
    }
    ExpectAllPixels(dst, 0x00112233);
}

TEST(SImageBlit, MatchesThePerPixelModelAtEveryEdge) {
    std::mt19937 rng(7);
    // A 32x32 sprite cut at the left (27 columns from column 5), the right (20 columns) and the bottom
    // (10 rows) of the frame, then random sizes and placements across and beyond every edge.
    for (const auto& p : {std::pair{-5, 10}, {300, 100}, {100, 230}, {300, 230}, {-31, -31}}) {
        ExpectBlitMatchesModel(320, 240, 32, 32, p.first, p.second, BLIT_COPY, rng);
        ExpectBlitMatchesModel(320, 240, 32, 32, p.first, p.second, BLIT_ADD, rng);
    }
    for (int i = 0; i < 400; ++i) {
        const int32_t dw = 1 + static_cast<int32_t>(rng() % 40);
        const int32_t dh = 1 + static_cast<int32_t>(rng() % 20);
        const int32_t sw = 1 + static_cast<int32_t>(rng() % 40);
        const int32_t sh = 1 + static_cast<int32_t>(rng() % 20);
        const int32_t x = static_cast<int32_t>(rng() % 100) - 50;
        const int32_t y = static_cast<int32_t>(rng() % 60) - 30;
        ExpectBlitMatchesModel(dw, dh, sw, sh, x, y, static_cast<int32_t>(rng() % 3), rng);
        if (HasFatalFailure()) {
            return;
        }
    }
    // A 17-pixel run, one past a group of 16.
    ExpectBlitMatchesModel(17, 1, 17, 1, 0, 0, BLIT_ADD, rng);
}

TEST(SImageBlit, FadeLowersEveryByteOfEveryPixelAndStopsAtZero) {
    SImage image(5, 3);
    image.Clear(0x00050A10);
    image.Fade(0x080808);
    ExpectAllPixels(image, 0x00000208);
    image.Fade(0);
    EXPECT_EQ(image.pixels[14], 0x00000208u);

    // Each byte on its own: no borrow from a neighbour, the fourth byte included.
    image.pixels[0] = 0x01FF0004;
    image.Fade(0x02010305);
    EXPECT_EQ(image.pixels[0], 0x00FE0000u);

    // 32 steps of 8 take any picture to black.
    image.Clear(0x00FFFFFF);
    for (int i = 0; i < 32; ++i) {
        image.Fade(0x080808);
    }
    ExpectAllPixels(image, 0);
}

TEST(SImageBlit, ClearWritesEveryPixelAndEmptyImagesAreLeftAlone) {
    SImage image(7, 3);
    image.Clear(0xFFFFFFFF);
    image.Clear(0);
    ExpectAllPixels(image, 0);
    SImage noRows(9, 0);
    SImage noColumns(0, 9);
    noRows.Clear(1);
    noRows.Fade(0x080808);
    noColumns.Clear(1);
    noColumns.Fade(0x080808);
    image.Release();
    image.Clear(5);
    image.Fade(5);
}

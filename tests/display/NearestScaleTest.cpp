#include "display/NearestScale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// The rule written out plainly: the source pixel under each destination pixel's centre, in doubles.
uint32_t Expected(const std::vector<uint32_t>& source, int32_t nSourceWidth, const ScaleRect& src,
                  const ScaleRect& dst, int32_t x, int32_t y) {
    const double dX = src.x + (x - dst.x + 0.5) * src.w / dst.w;
    const double dY = src.y + (y - dst.y + 0.5) * src.h / dst.h;
    return source[static_cast<size_t>(static_cast<int32_t>(dY) * nSourceWidth + static_cast<int32_t>(dX))];
}

std::vector<uint32_t> Pattern(int32_t nWidth, int32_t nHeight) {
    std::vector<uint32_t> pixels(static_cast<size_t>(nWidth * nHeight));
    uint32_t dwState = 12345;
    for (uint32_t& dwPixel : pixels) {
        dwState = dwState * 1103515245u + 12345u;
        dwPixel = (dwState >> 8) & 0xFFFFFF;
    }
    return pixels;
}

TEST(NearestScaleTest, LetterboxIsTheLargestCentredRectangleOfTheSourceAspect) {
    struct Case {
        int32_t w, h;
        ScaleRect expected;
    };
    for (const Case& c : {Case{1280, 720, {160, 0, 960, 720}}, Case{1920, 1080, {240, 0, 1440, 1080}},
                          Case{3840, 2160, {480, 0, 2880, 2160}}, Case{800, 450, {100, 0, 600, 450}},
                          Case{640, 480, {0, 0, 640, 480}}, Case{1280, 1024, {0, 32, 1280, 960}},
                          Case{321, 240, {0, 0, 320, 240}}, Case{1, 1, {0, 0, 1, 0}}}) {
        const ScaleRect r = LetterboxRect(320, 240, c.w, c.h);
        EXPECT_EQ(r.x, c.expected.x) << c.w << "x" << c.h;
        EXPECT_EQ(r.y, c.expected.y) << c.w << "x" << c.h;
        EXPECT_EQ(r.w, c.expected.w) << c.w << "x" << c.h;
        EXPECT_EQ(r.h, c.expected.h) << c.w << "x" << c.h;
    }
    const ScaleRect none = LetterboxRect(320, 240, 0, 480);
    EXPECT_EQ(none.w * none.h, 0);
}

TEST(NearestScaleTest, ScalesLikeThePlainRuleAndTouchesNothingOutside) {
    const int32_t nSourceWidth = 320;
    const int32_t nSourceHeight = 240;
    const std::vector<uint32_t> source = Pattern(nSourceWidth, nSourceHeight);
    NearestScaler scaler; // one scaler over all sizes: its column table must follow each change
    struct Case {
        int32_t nWidth, nHeight;
        ScaleRect src;
        bool bLetterbox;
    };
    for (const Case& c :
         {Case{800, 450, {0, 0, 320, 240}, true}, Case{1920, 1080, {0, 0, 320, 240}, true},
          Case{1280, 1024, {0, 0, 320, 240}, true}, Case{333, 217, {0, 0, 320, 240}, true},
          Case{320, 240, {0, 0, 320, 240}, false}, Case{97, 61, {0, 0, 320, 240}, false},
          Case{700, 500, {10, 20, 300, 200}, false}, Case{1, 1, {0, 0, 320, 240}, false},
          // as wide as the source rectangle: its rows are copied as they are
          Case{373, 300, {0, 0, 320, 240}, false}, Case{350, 500, {10, 20, 300, 200}, false}}) {
        const int32_t nPitch = c.nWidth + 3; // a pitch wider than the row
        std::vector<uint32_t> dest(static_cast<size_t>(nPitch * c.nHeight), 0xABCDEF01u);
        const ScaleRect dst = c.bLetterbox ? LetterboxRect(320, 240, c.nWidth, c.nHeight)
                                           : ScaleRect{c.nWidth / 7, c.nHeight / 5, c.nWidth - c.nWidth / 7,
                                                       c.nHeight - c.nHeight / 5};
        scaler.Scale(source.data(), nSourceWidth * 4, SCALE_XRGB8888, c.src, dest.data(), nPitch * 4, dst);
        for (int32_t y = 0; y < c.nHeight; ++y) {
            for (int32_t x = 0; x < nPitch; ++x) {
                const uint32_t dwGot = dest[static_cast<size_t>(y * nPitch + x)];
                const bool bInside = x >= dst.x && x < dst.x + dst.w && y >= dst.y && y < dst.y + dst.h;
                const uint32_t dwWant =
                    bInside ? Expected(source, nSourceWidth, c.src, dst, x, y) : 0xABCDEF01u;
                ASSERT_EQ(dwGot, dwWant) << c.nWidth << "x" << c.nHeight << " at " << x << "," << y;
            }
        }
    }
}

TEST(NearestScaleTest, WidensFiveSixFiveToTheFullRangeRoundedDown) {
    EXPECT_EQ(Widen565(0xFFFF), 0xFFFFFFu);
    EXPECT_EQ(Widen565(0x0000), 0x000000u);
    EXPECT_EQ(Widen565(0xF800), 0xFF0000u);
    EXPECT_EQ(Widen565(0x07E0), 0x00FF00u);
    EXPECT_EQ(Widen565(0x001F), 0x0000FFu);
    EXPECT_EQ(Widen565(0x0821), 0x080408u); // the lowest step of each channel
    // Where rounding down differs from rounding to nearest and from repeating the top bits.
    EXPECT_EQ(Widen565((4u << 11) | (16u << 5) | 3u), 0x204018u);
    EXPECT_EQ(Widen565((28u << 11) | (52u << 5) | 24u), 0xE6D2C5u);

    // The scaler widens by its own tables: every 5-6-5 value, once as it is and once tripled.
    std::vector<uint16_t> every(256 * 256);
    for (size_t i = 0; i < every.size(); ++i) {
        every[i] = static_cast<uint16_t>(i);
    }
    NearestScaler wide;
    std::vector<uint32_t> same(256 * 256);
    wide.Scale(every.data(), 512, SCALE_RGB565, ScaleRect{0, 0, 256, 256}, same.data(), 1024,
               ScaleRect{0, 0, 256, 256});
    std::vector<uint32_t> tripled(768 * 3);
    for (int32_t y = 0; y < 256; ++y) {
        wide.Scale(every.data(), 512, SCALE_RGB565, ScaleRect{0, y, 256, 1}, tripled.data(), 768 * 4,
                   ScaleRect{0, 0, 768, 3});
        for (int32_t x = 0; x < 256; ++x) {
            const uint32_t dwExpected = Widen565(static_cast<uint32_t>(y * 256 + x));
            ASSERT_EQ(same[static_cast<size_t>(y * 256 + x)], dwExpected) << y * 256 + x;
            for (int32_t n = 0; n < 9; ++n) {
                ASSERT_EQ(tripled[static_cast<size_t>((n / 3) * 768 + 3 * x + n % 3)], dwExpected)
                    << y * 256 + x;
            }
        }
    }

    // A 2x3 picture of 5-6-5 pixels, rows of 8 bytes (a gap of 4), doubled.
    const uint16_t source[2 * 4] = {0xF800, 0x07E0, 0x001F, 0, 0x0821, 0xFFFF, 0x1234, 0};
    uint32_t dest[4 * 6] = {};
    NearestScaler scaler;
    scaler.Scale(source, 8, SCALE_RGB565, ScaleRect{0, 0, 3, 2}, dest, 6 * 4, ScaleRect{0, 0, 6, 4});
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            EXPECT_EQ(dest[y * 6 + x], Widen565(source[(y / 2) * 4 + x / 2])) << x << "," << y;
        }
    }
}

TEST(NearestScaleTest, FillBlackPaintsOnlyItsRectangle) {
    std::vector<uint32_t> dest(10 * 4, 0x123456u);
    FillBlack(dest.data(), 10 * 4, ScaleRect{2, 1, 5, 2});
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 10; ++x) {
            const bool bInside = x >= 2 && x < 7 && y >= 1 && y < 3;
            EXPECT_EQ(dest[static_cast<size_t>(y * 10 + x)], bInside ? 0u : 0x123456u) << x << "," << y;
        }
    }
}

} // namespace

#include "imaging/SImage.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

uint32_t At(const SImage& image, int32_t x, int32_t y) {
    return image.pixels[y * image.width + x];
}

std::pair<int, int> Entry(const SImage& image, int32_t x, int32_t y) {
    const int8_t* p = image.directionTable + 2 * (y * image.width + x);
    return {p[0], p[1]};
}

} // namespace

TEST(Glow, FallsOffAsTheSquareOfTheDistanceAndTruncates) {
    SImage sprite(128, 128);
    sprite.Clear(0xFFFFFFFF);
    sprite.DrawGlow(64, 0x00FF6464);
    EXPECT_EQ(At(sprite, 63, 63), 0x00FF6464u); // the centre: full colour
    EXPECT_EQ(At(sprite, 63, 31), 0x003F1919u); // d = 32, k = 0.25: 63, 25, 25
    EXPECT_EQ(At(sprite, 64, 64), 0x00F35F5Fu); // d = sqrt 2: 243, 95, 95
    EXPECT_EQ(At(sprite, 62, 62), 0x00F35F5Fu);
    EXPECT_EQ(At(sprite, 0, 0), 0u);    // beyond the radius, fourth byte cleared too
    EXPECT_EQ(At(sprite, 127, 63), 0u); // exactly at the radius

    SImage light(640, 640);
    light.DrawGlow(320, 0x00FFFFFF);
    EXPECT_EQ(At(light, 319, 319), 0x00FFFFFFu);
    EXPECT_EQ(At(light, 320, 320), 0x00FCFCFCu);
    EXPECT_EQ(At(light, 479, 319), 0x003F3F3Fu);
}

TEST(Glow, PaintsOnlyASquareThatFits) {
    SImage image(20, 10);
    image.Clear(0x01020304);
    for (int32_t r : {0, -3, 6, 11}) {
        image.DrawGlow(r, 0x00FFFFFF);
    }
    for (int32_t i = 0; i < 200; ++i) {
        ASSERT_EQ(image.pixels[i], 0x01020304u);
    }
    image.DrawGlow(5, 0x00FFFFFF); // 10 x 10 at the top left; the rest keeps its values
    EXPECT_EQ(At(image, 4, 4), 0x00FFFFFFu);
    EXPECT_EQ(At(image, 9, 9), 0u);
    EXPECT_EQ(At(image, 10, 0), 0x01020304u);
    EXPECT_EQ(At(image, 19, 9), 0x01020304u);
}

TEST(DirectionTable, PointsFromTheCentreInTheCityBlockNorm) {
    SImage light(640, 640);
    light.BuildDirectionTable(1);
    ASSERT_NE(light.directionTable, nullptr);
    EXPECT_EQ(Entry(light, 320, 320), std::make_pair(64, 64));
    EXPECT_EQ(Entry(light, 321, 320), std::make_pair(127, 0));
    EXPECT_EQ(Entry(light, 319, 320), std::make_pair(-128, 0));
    EXPECT_EQ(Entry(light, 320, 0), std::make_pair(0, -128));
    EXPECT_EQ(Entry(light, 321, 321), std::make_pair(63, 63));
    EXPECT_EQ(Entry(light, 0, 0), std::make_pair(-64, -64));
    EXPECT_EQ(Entry(light, 639, 639), std::make_pair(63, 63));
    EXPECT_EQ(Entry(light, 330, 325), std::make_pair(84, 42));
    // A diamond: the two components always add up to about 128.
    for (int32_t y = 0; y < 640; y += 7) {
        for (int32_t x = 0; x < 640; x += 5) {
            if (x != 320 || y != 320) {
                const auto [ex, ey] = Entry(light, x, y);
                ASSERT_GE(std::abs(ex) + std::abs(ey), 126);
                ASSERT_LE(std::abs(ex) + std::abs(ey), 129);
            }
        }
    }
}

TEST(DirectionTable, OtherKindsBuildNothingAndARebuildReplacesTheTable) {
    SImage image(3, 2);
    image.BuildDirectionTable(0);
    image.BuildDirectionTable(2);
    EXPECT_EQ(image.directionTable, nullptr);
    image.BuildDirectionTable(1);
    image.BuildDirectionTable(1);
    EXPECT_EQ(Entry(image, 1, 1), std::make_pair(64, 64));
    EXPECT_EQ(Entry(image, 0, 0), std::make_pair(-64, -64));
}

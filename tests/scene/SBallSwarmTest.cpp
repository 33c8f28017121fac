#include "scene/SBallSwarm.h"
#include "framework/Memory.h"
#include "framework/Random.h"
#include "framework/SString.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(SBallSwarm, CreateMakesFourGlowSpritesAndSpawnsAtTheCentre) {
    SeedRandom(1234);
    int32_t draws[40][3];
    for (auto& d : draws) {
        d[0] = Random(500);
        d[1] = Random(500);
        d[2] = Random(4);
    }
    SeedRandom(1234);
    SBallSwarm swarm;
    swarm.Create(40, 0x00FF6464);
    for (int32_t k = 0; k < 4; ++k) {
        const SImage& sprite = *swarm.sprites[k];
        ASSERT_EQ(sprite.width, 128 - 32 * k);
        ASSERT_EQ(sprite.height, 128 - 32 * k);
        const int32_t c = sprite.width / 2 - 1;
        EXPECT_EQ(sprite.pixels[c * sprite.width + c], 0x00FF6464u);
        EXPECT_EQ(sprite.pixels[0], 0u);
    }
    EXPECT_EQ(swarm.count, 40);
    EXPECT_EQ(swarm.centerX, 0.0f);
    EXPECT_EQ(swarm.centerY, 0.0f);
    for (int32_t i = 0; i < 40; ++i) {
        const Ball& ball = swarm.balls[i];
        EXPECT_EQ(ball.x, 0.0f);
        EXPECT_EQ(ball.y, 0.0f);
        // The product with the float nearest 0.1 differs from the double one for a fifth of the draws.
        EXPECT_EQ(ball.vx, static_cast<float>(draws[i][0] - 250) * 0.1f) << i;
        EXPECT_EQ(ball.vy, static_cast<float>(draws[i][1] - 250) * 0.1f) << i;
        EXPECT_EQ(ball.sprite, draws[i][2]);
    }
    swarm.Release();
    swarm.Release();
    EXPECT_EQ(swarm.balls, nullptr);
    EXPECT_EQ(swarm.sprites[0], nullptr);
}

TEST(SBallSwarm, UpdateMovesThenSteersTowardsTheLastCentreThenBounces) {
    SBallSwarm swarm;
    swarm.Create(5, 0x00FFFFFF);
    const Ball start[5] = {
        {199.0f, -158.0f, 1.0f, -2.0f, 0}, // lands on x 200 and y -160: steered, not bounced
        {201.0f, 0.0f, 3.0f, 0.0f, 1},     // beyond 200 moving out: steered to 2, then bounced to -2
        {250.0f, -170.0f, -3.0f, 5.0f, 2}, // beyond 200 moving in: stays -4; below -160: 6 stays 6
        {3.0f, 1.0f, 2.0f, -1.0f, 3},      // lands on the centre (5, 0): no steering
        {-0.5f, -161.0f, 0.0f, -2.5f, 0},  // beyond -160 moving out: steered to -1.5, then bounced
    };
    std::copy(std::begin(start), std::end(start), swarm.balls);
    swarm.centerX = 5.0f;
    swarm.centerY = 0.0f;
    swarm.Update();
    const Ball* b = swarm.balls;
    EXPECT_EQ(b[0].x, 200.0f);
    EXPECT_EQ(b[0].y, -160.0f);
    EXPECT_EQ(b[0].vx, 0.0f);
    EXPECT_EQ(b[0].vy, -1.0f);
    EXPECT_EQ(b[1].vx, -2.0f);
    EXPECT_EQ(b[1].vy, 0.0f);
    EXPECT_EQ(b[2].vx, -4.0f);
    EXPECT_EQ(b[2].vy, 6.0f);
    EXPECT_EQ(b[3].vx, 2.0f);
    EXPECT_EQ(b[3].vy, -1.0f);
    EXPECT_EQ(b[4].vx, 1.0f);
    EXPECT_EQ(b[4].vy, 1.5f);
    // The mean of the new positions, summed in double, stored as float; used for steering next time.
    EXPECT_EQ(swarm.centerX, static_cast<float>(655.5 / 5));
    EXPECT_EQ(swarm.centerY, static_cast<float>(-488.5 / 5));
}

TEST(SBallSwarm, DrawAddsEachSpriteAtItsTruncatedPosition) {
    SBallSwarm swarm;
    swarm.Create(3, 0x00102030);
    swarm.balls[0] = {0.0f, 0.0f, 0.0f, 0.0f, 0};    // 128 sprite: top-left at 96, 56
    swarm.balls[1] = {-0.7f, 0.9f, 0.0f, 0.0f, 0};   // drawn as if at 0, 0: adds onto the first
    swarm.balls[2] = {-100.9f, 0.0f, 0.0f, 0.0f, 3}; // 32 sprite as if at -100, 0: top-left at 44, 104
    SImage frame(320, 240);
    swarm.Draw(frame);
    EXPECT_EQ(frame.pixels[(56 + 63) * 320 + 96 + 63], 0x00204060u);
    EXPECT_EQ(frame.pixels[(104 + 15) * 320 + 44 + 15], 0x00102030u);
    EXPECT_EQ(frame.pixels[(56 + 63) * 320 + 95], 0u);

    // Far away, or no balls at all: nothing drawn, and no balls leave the centre at 0, 0.
    swarm.balls[0].x = 3e9f;
    swarm.balls[1].y = -1e30f;
    swarm.balls[2].x = -500.0f;
    frame.Clear(0);
    swarm.Draw(frame);
    for (int32_t i = 0; i < 320 * 240; ++i) {
        ASSERT_EQ(frame.pixels[i], 0u);
    }
    SBallSwarm empty;
    empty.Create(0, 0x00FFFFFF);
    empty.Update();
    empty.Draw(frame);
    EXPECT_EQ(empty.centerX, 0.0f);
    EXPECT_EQ(empty.centerY, 0.0f);
}

TEST(SBallSwarm, ACountWhoseArrayDoesNotFitInThirtyTwoBitsIsOutOfMemory) {
    // 214,748,365 records of 20 bytes are 4 bytes past 4 GiB: on a 32-bit build the size wrapped to a
    // 4-byte block that the spawn loop then overran.
    static_assert(sizeof(Ball) == 20);
    for (const int32_t nCount : {214748365, INT32_MAX}) {
        SBallSwarm swarm;
        try {
            swarm.Create(nCount, 0x00FFFFFF);
            ADD_FAILURE() << nCount << " balls were made";
        } catch (const SString& error) {
            EXPECT_STREQ(error.Text(), OutOfMemoryText()) << nCount;
        }
        EXPECT_EQ(swarm.balls, nullptr);
        EXPECT_NE(swarm.sprites[3], nullptr); // made before the failure, freed by Release
    }
}

TEST(SBallSwarm, ANegativeCountMakesNoBalls) {
    // A stored Nums of 2^31 or more reads as a negative count: the loops run zero times, as with 0.
    for (const int32_t nCount : {-1, INT32_MIN}) {
        SBallSwarm swarm;
        swarm.Create(nCount, 0x00FFFFFF);
        EXPECT_EQ(swarm.count, nCount);
        SImage frame(320, 240);
        frame.Clear(0);
        swarm.Update();
        swarm.Draw(frame);
        EXPECT_EQ(swarm.centerX, 0.0f);
        EXPECT_EQ(swarm.centerY, 0.0f);
        EXPECT_TRUE(std::all_of(frame.pixels, frame.pixels + 320 * 240, [](uint32_t p) { return p == 0; }));
    }
}

TEST(SBallSwarm, AnAbortFlagStopsUpdateAndDrawBetweenRunsOfBalls) {
    SBallSwarm swarm;
    swarm.Create(10000, 0x00FFFFFF);
    std::atomic<int32_t> bAbort{0};
    swarm.SetAbortFlag(&bAbort);
    EXPECT_TRUE(swarm.Update());
    EXPECT_NE(swarm.balls[9999].x, 0.0f); // not set: every ball moves
    const Ball first = swarm.balls[0];
    const Ball cut = swarm.balls[4096];
    bAbort.store(1);
    // Set: the first run of 4096 balls is finished, nothing after it moves or is drawn.
    EXPECT_FALSE(swarm.Update());
    EXPECT_EQ(swarm.balls[0].x, first.x + first.vx);
    EXPECT_EQ(swarm.balls[4096].x, cut.x);
    for (int32_t i = 0; i < 10000; ++i) {
        swarm.balls[i] = i < 4096 ? Ball{-100.0f, -80.0f, 0.0f, 0.0f, 3} : Ball{100.0f, 80.0f, 0.0f, 0.0f, 3};
    }
    SImage frame(320, 240);
    frame.Clear(0);
    EXPECT_FALSE(swarm.Draw(frame));
    EXPECT_NE(frame.pixels[40 * 320 + 60], 0u);
    EXPECT_EQ(frame.pixels[200 * 320 + 260], 0u);

    // A swarm of one run is never cut short: the stop waits for its frame.
    SBallSwarm small;
    small.Create(4096, 0x00FFFFFF);
    small.SetAbortFlag(&bAbort);
    EXPECT_TRUE(small.Update());
    EXPECT_NE(small.balls[4095].x, 0.0f);
    small.balls[4095] = Ball{100.0f, 80.0f, 0.0f, 0.0f, 3};
    EXPECT_TRUE(small.Draw(frame));
    EXPECT_NE(frame.pixels[200 * 320 + 260], 0u);
}

#include "framework/Random.h"
#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

TEST(Random, FollowsTheRuntimeLibrarysLinearCongruentialSequence) {
    // The first results of the srand(1)/rand() pair: state * 214013 + 2531011, bits 16..30.
    SeedRandom(1);
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int32_t value : expected) {
        EXPECT_EQ(Random(32768), value);
    }
    // The same state reduced modulo n.
    SeedRandom(1);
    EXPECT_EQ(Random(10), 1);
    EXPECT_EQ(Random(100), 67);
}

TEST(Random, SeedsFromTheTickCount) {
    HeadlessSetTickCount(1);
    SeedRandom();
    EXPECT_EQ(Random(32768), 41);
    HeadlessSetTickCount(0);
    SeedRandom();
    EXPECT_EQ(Random(32768), 38);
}

TEST(Random, StaysWithinItsRange) {
    SeedRandom(0xDEADBEEFu);
    bool seen[4] = {};
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(Random(1), 0);
        const int32_t n = Random(4);
        ASSERT_GE(n, 0);
        ASSERT_LT(n, 4);
        seen[n] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2] && seen[3]);
}

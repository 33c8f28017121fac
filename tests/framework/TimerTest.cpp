#include "framework/Timer.h"
#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
void RecordTick(uint32_t uTimerId, uint32_t, uintptr_t dwUser, uintptr_t, uintptr_t) {
    reinterpret_cast<std::vector<uint32_t>*>(dwUser)->push_back(uTimerId);
}
} // namespace

TEST(Timer, StartupRaisesTheResolutionAndTimersRunUntilKilled) {
    EXPECT_EQ(g_TimeCaps.wPeriodMin, 1u);
    EXPECT_EQ(HeadlessRaisedTimerPeriod(), g_TimeCaps.wPeriodMin);

    std::vector<uint32_t> ticks;
    const uint32_t uId = TimerSetEvent(3, RecordTick, reinterpret_cast<uintptr_t>(&ticks));
    ASSERT_NE(uId, 0u);
    HeadlessStepTimers(7);
    EXPECT_EQ(ticks, (std::vector<uint32_t>{uId, uId})); // at 3 and 6 ms
    TimerKillEvent(uId);
    HeadlessStepTimers(10);
    EXPECT_EQ(ticks.size(), 2u);
    EXPECT_EQ(TimerSetEvent(0, RecordTick, 0), 0u);
}

#include "framework/Timer.h"

#include <cstdlib>

PlatformTimeCaps g_TimeCaps = {0, 0};

namespace {

void EndTimerPeriod() {
    PlatformTimerEndPeriod(g_TimeCaps.wPeriodMin);
}

// Raises the timer resolution before main, in the unit that every timer user links, and restores it
// when the process ends.
struct TimerPeriodStartup {
    TimerPeriodStartup() {
        PlatformTimerGetDevCaps(&g_TimeCaps);
        PlatformTimerBeginPeriod(g_TimeCaps.wPeriodMin);
        std::atexit(EndTimerPeriod);
    }
};
const TimerPeriodStartup g_timerPeriodStartup;

} // namespace

uint32_t TimerSetEvent(uint32_t uDelay, TimerCallback pfnCallback, uintptr_t dwUser) {
    return PlatformTimerSetEvent(uDelay, g_TimeCaps.wPeriodMin, pfnCallback, dwUser);
}

void TimerKillEvent(uint32_t uTimerId) {
    PlatformTimerKillEvent(uTimerId);
}

#include "framework/Timer.h"

#include <cstdlib>

PlatformTimeCaps g_TimeCaps = {0, 0};

namespace {

bool g_bStarted = false;

void EndTimerPeriod() {
    PlatformTimerEndPeriod(g_TimeCaps.wPeriodMin);
}

} // namespace

void TimerStartup() {
    if (g_bStarted) {
        return;
    }
    g_bStarted = true;
    PlatformTimerGetDevCaps(&g_TimeCaps);
    PlatformTimerBeginPeriod(g_TimeCaps.wPeriodMin);
    std::atexit(EndTimerPeriod);
}

uint32_t TimerSetEvent(uint32_t uDelay, TimerCallback pfnCallback, uintptr_t dwUser) {
    return PlatformTimerSetEvent(uDelay, g_TimeCaps.wPeriodMin, pfnCallback, dwUser);
}

void TimerIdleUntil(uint32_t dwMilliseconds) {
    PlatformTimerIdleUntil(dwMilliseconds);
}

void TimerKillEvent(uint32_t uTimerId) {
    PlatformTimerKillEvent(uTimerId);
}

// Periodic multimedia timers at the finest resolution: the frame-rate latch (1000 ms) and the music
// tick (1 ms).
//
// At start-up (TimerStartup, called by the entry points) the process reads the timer's capabilities into
// g_TimeCaps and raises the system timer resolution to the minimum period; it is lowered again at exit.
// TimerSetEvent starts a periodic timer whose callback runs on the timer's own thread with the user value
// given; it returns 0 on failure and the caller decides what that means. After TimerKillEvent returns, no
// callback of that timer runs or starts; it must not be called from that timer's own callback.
#pragma once

#include "platform/Timer.h"

#include <cstdint>

using TimerCallback = PlatformTimerProc;

// Filled once by TimerStartup; only wPeriodMin is used.
extern PlatformTimeCaps g_TimeCaps;

// Main thread, before any timer starts: reads the capabilities and raises the resolution until the
// process ends. The entry points of the framework, the tools and the test programs call it; later calls
// do nothing.
void TimerStartup();

uint32_t TimerSetEvent(uint32_t uDelay, TimerCallback pfnCallback, uintptr_t dwUser);
// From a timer's callback: nothing is due before the millisecond clock reads dwMilliseconds; the platform
// may leave out the calls before then, so that an idle timer does not wake the processor every period.
void TimerIdleUntil(uint32_t dwMilliseconds);
void TimerKillEvent(uint32_t uTimerId);

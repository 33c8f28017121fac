// Periodic timer service: the callbacks behind TimerSetEvent and TimerKillEvent (framework/Timer.h),
// at the system's finest timer resolution.
#pragma once

#include <cstdint>

// Finest and coarsest periods the timer supports, in milliseconds.
struct PlatformTimeCaps {
    uint32_t wPeriodMin;
    uint32_t wPeriodMax;
};

// The callback's form: timer id, message (0), the user value given to PlatformTimerSetEvent, two
// reserved values. Linux passes in dw1 the deadline of this call on CLOCK_MONOTONIC in nanoseconds, so
// that the timer's lateness can be measured; the other values are 0.
using PlatformTimerProc = void (*)(uint32_t uTimerId, uint32_t uMsg, uintptr_t dwUser, uintptr_t dw1,
                                   uintptr_t dw2);

// Called once before main: the timer's capabilities.
void PlatformTimerGetDevCaps(PlatformTimeCaps* pCaps);
// Called before main with the minimum period, and again at exit with End: raise and restore the
// system's timer resolution.
void PlatformTimerBeginPeriod(uint32_t uPeriod);
void PlatformTimerEndPeriod(uint32_t uPeriod);
// Called on any thread: starts a periodic timer whose callback runs every uDelay ms on a thread of the
// timer's own, never two at once for one timer. Returns its id, 0 on failure.
uint32_t PlatformTimerSetEvent(uint32_t uDelay, uint32_t uResolution, PlatformTimerProc pfnCallback,
                               uintptr_t dwUser);
// Called from a timer's callback only: the callback has nothing to do before the millisecond clock
// (PlatformMilliseconds) reads dwMilliseconds, so the calls before then may be left out; the calls that
// remain fall on the same deadlines, a whole number of periods apart. Linux and headless leave them out;
// Windows calls every period.
void PlatformTimerIdleUntil(uint32_t dwMilliseconds);
// Called on any thread but the timer's own: once it returns true, no callback of that timer runs or
// starts. False for an unknown id or when called from the timer's own callback (nothing changes then).
bool PlatformTimerKillEvent(uint32_t uTimerId);

#include "platform/Timer.h"

#include <windows.h>

#include <mmsystem.h>

#include <map>
#include <mutex>
#include <new>

namespace {
// What a timer calls: the caller's procedure with its user value. The system calls a stdcall function
// in 32-bit, which the platform's procedure type is not, so every timer goes through TimerMain.
struct TimerTarget {
    PlatformTimerProc pfnCallback;
    uintptr_t dwUser;
};

std::mutex g_Lock;
std::map<uint32_t, TimerTarget*> g_Timers;
thread_local uint32_t t_uRunningTimer = 0;

void CALLBACK TimerMain(UINT uTimerId, UINT uMsg, DWORD_PTR dwUser, DWORD_PTR dw1, DWORD_PTR dw2) {
    const TimerTarget* pTarget = reinterpret_cast<const TimerTarget*>(dwUser);
    t_uRunningTimer = uTimerId;
    pTarget->pfnCallback(uTimerId, uMsg, pTarget->dwUser, dw1, dw2);
    t_uRunningTimer = 0;
}
} // namespace

// The system's timer calls every period; the callback finds nothing to do in the calls it did not need.
void PlatformTimerIdleUntil(uint32_t) {}

void PlatformTimerGetDevCaps(PlatformTimeCaps* pCaps) {
    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof(caps));
    pCaps->wPeriodMin = caps.wPeriodMin;
    pCaps->wPeriodMax = caps.wPeriodMax;
}

void PlatformTimerBeginPeriod(uint32_t uPeriod) {
    timeBeginPeriod(uPeriod);
}

void PlatformTimerEndPeriod(uint32_t uPeriod) {
    timeEndPeriod(uPeriod);
}

uint32_t PlatformTimerSetEvent(uint32_t uDelay, uint32_t uResolution, PlatformTimerProc pfnCallback,
                               uintptr_t dwUser) {
    TimerTarget* pTarget = new (std::nothrow) TimerTarget{pfnCallback, dwUser};
    if (pTarget == nullptr) {
        return 0;
    }
    // Held across the start so that the map has the timer before anyone can kill it by its id.
    std::lock_guard<std::mutex> lock(g_Lock);
    // Without TIME_KILL_SYNCHRONOUS timeKillEvent may return while a callback still runs, and the
    // caller would free what that callback uses.
    const MMRESULT uId = timeSetEvent(uDelay, uResolution, TimerMain, reinterpret_cast<DWORD_PTR>(pTarget),
                                      TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
    if (uId == 0) {
        delete pTarget;
        return 0;
    }
    g_Timers[uId] = pTarget;
    return uId;
}

bool PlatformTimerKillEvent(uint32_t uTimerId) {
    if (uTimerId == 0 || t_uRunningTimer == uTimerId) {
        return false;
    }
    TimerTarget* pTarget = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_Lock);
        const auto it = g_Timers.find(uTimerId);
        if (it == g_Timers.end()) {
            return false;
        }
        pTarget = it->second;
        g_Timers.erase(it);
    }
    // Waits for a running callback to return; only then is its target free to go.
    timeKillEvent(uTimerId);
    delete pTarget;
    return true;
}

#include "platform/Timer.h"
#include "platform/Clock.h"
#include "platform/headless/Headless.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace {

struct SteppedTimer {
    uint32_t uId;
    uint32_t uDelay;
    uint32_t dwNextDue; // simulated time of the next callback
    PlatformTimerProc pfnCallback;
    uintptr_t dwUser;
};

std::mutex g_timerLock;
std::vector<SteppedTimer> g_timers;
// Held while a callback runs, so that a kill from another thread waits for it: after the kill no
// callback of that timer runs, as on a real timer thread. A kill from inside a callback does not wait.
std::mutex g_callbackLock;
thread_local bool t_bInCallback = false;
thread_local uint32_t t_uRunningTimer = 0; // the timer whose callback runs on this thread
uint32_t g_uLastId = 0;
std::atomic<uint32_t> g_uRaisedPeriod{0};

} // namespace

void PlatformTimerGetDevCaps(PlatformTimeCaps* pCaps) {
    pCaps->wPeriodMin = 1;
    pCaps->wPeriodMax = 1000000;
}

void PlatformTimerBeginPeriod(uint32_t uPeriod) {
    g_uRaisedPeriod.store(uPeriod);
}

void PlatformTimerEndPeriod(uint32_t) {
    g_uRaisedPeriod.store(0);
}

uint32_t HeadlessRaisedTimerPeriod() {
    return g_uRaisedPeriod.load();
}

uint32_t PlatformTimerSetEvent(uint32_t uDelay, uint32_t, PlatformTimerProc pfnCallback, uintptr_t dwUser) {
    if (uDelay == 0 || pfnCallback == nullptr) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(g_timerLock);
    const uint32_t uId = ++g_uLastId;
    g_timers.push_back(SteppedTimer{uId, uDelay, PlatformTickCount() + uDelay, pfnCallback, dwUser});
    return uId;
}

bool PlatformTimerKillEvent(uint32_t uTimerId) {
    bool bKilled = false;
    {
        std::lock_guard<std::mutex> lock(g_timerLock);
        for (size_t i = 0; i < g_timers.size(); ++i) {
            if (g_timers[i].uId == uTimerId) {
                g_timers.erase(g_timers.begin() + static_cast<std::ptrdiff_t>(i));
                bKilled = true;
                break;
            }
        }
    }
    if (bKilled && !t_bInCallback) {
        // A callback that found the timer before it was removed ends before the kill returns.
        std::lock_guard<std::mutex> wait(g_callbackLock);
    }
    return bKilled;
}

// The next due time moves to the first one of the timer's deadlines at or after dwMilliseconds, as on
// Linux, so that what the tests see of a sequencer is what the real timer gives it.
void PlatformTimerIdleUntil(uint32_t dwMilliseconds) {
    std::lock_guard<std::mutex> lock(g_timerLock);
    for (SteppedTimer& timer : g_timers) {
        if (timer.uId == t_uRunningTimer && t_uRunningTimer != 0) {
            const int32_t nAhead = static_cast<int32_t>(dwMilliseconds - timer.dwNextDue);
            if (nAhead > 0) {
                timer.dwNextDue +=
                    (static_cast<uint32_t>(nAhead) + timer.uDelay - 1) / timer.uDelay * timer.uDelay;
            }
        }
    }
}

size_t HeadlessLiveTimers() {
    std::lock_guard<std::mutex> lock(g_timerLock);
    return g_timers.size();
}

void HeadlessStepTimers(uint32_t dwMs) {
    for (uint32_t step = 0; step < dwMs; ++step) {
        HeadlessAdvanceTickCount(1);
        const uint32_t dwNow = PlatformTickCount();
        // Callbacks run without the lock, so that they may start or kill timers; each due timer is
        // looked up again by id, since an earlier callback may have killed it.
        std::vector<uint32_t> due;
        {
            std::lock_guard<std::mutex> lock(g_timerLock);
            for (SteppedTimer& timer : g_timers) {
                if (static_cast<int32_t>(dwNow - timer.dwNextDue) >= 0) {
                    due.push_back(timer.uId);
                    timer.dwNextDue = dwNow + timer.uDelay;
                }
            }
        }
        for (uint32_t uId : due) {
            std::lock_guard<std::mutex> running(g_callbackLock);
            PlatformTimerProc pfnCallback = nullptr;
            uintptr_t dwUser = 0;
            {
                std::lock_guard<std::mutex> lock(g_timerLock);
                for (const SteppedTimer& timer : g_timers) {
                    if (timer.uId == uId) {
                        pfnCallback = timer.pfnCallback;
                        dwUser = timer.dwUser;
                    }
                }
            }
            if (pfnCallback != nullptr) {
                t_bInCallback = true;
                t_uRunningTimer = uId;
                pfnCallback(uId, 0, dwUser, 0, 0);
                t_uRunningTimer = 0;
                t_bInCallback = false;
            }
        }
    }
}

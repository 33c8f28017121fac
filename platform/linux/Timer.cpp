#include "platform/Timer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sys/prctl.h>
#include <system_error>
#include <thread>
#include <time.h>
#include <vector>

namespace {

// One thread per timer, sleeping to absolute deadlines on CLOCK_MONOTONIC so that the period does not
// drift with the time the callback takes. A deadline already past when the callback returns is skipped,
// not made up with a burst of calls.
struct PeriodicTimer {
    uint32_t uId = 0;
    uint64_t qwPeriodNs = 0;
    PlatformTimerProc pfnCallback = nullptr;
    uintptr_t dwUser = 0;
    std::atomic<bool> bStop{false};
    uint64_t qwIdleUntilNs = 0; // set by the callback (on this thread): no call needed before then
    std::mutex stopMutex;       // with stopCv: wakes a long sleep at once when the timer is killed
    std::condition_variable stopCv;
    std::thread thread;

    void Run() {
        // The kernel lets an ordinary thread's sleep overrun by its timer slack (50 us by default), a
        // twentieth of the period; the timer's own thread asks for the least.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        // Named, so that what a timer costs can be told apart in /proc.
        prctl(PR_SET_NAME, "lv-timer", 0, 0, 0);
        timespec deadline = Now();
        for (;;) {
            // Every missed deadline is skipped: the next one is the first still ahead, and not before the
            // time until which the callback said it has nothing to do.
            const timespec now = Now();
            const uint64_t qwIdleUntil = qwIdleUntilNs;
            qwIdleUntilNs = 0;
            do {
                AddNs(deadline, qwPeriodNs);
            } while (!Before(now, deadline) || ToNs(deadline) < qwIdleUntil);
            if (!SleepUntil(deadline)) {
                return;
            }
            t_pRunning = this;
            pfnCallback(uId, 0, dwUser, static_cast<uintptr_t>(ToNs(deadline)), 0);
            t_pRunning = nullptr;
        }
    }

    // Sleeps to the deadline; a kill ends the sleep soon. A short period sleeps on the clock itself, to
    // the nanosecond; a long one (the once-a-second counter) waits on the stop signal, so that it is not
    // woken a hundred times a second only to look at the flag.
    // False when the timer is being killed.
    bool SleepUntil(const timespec& deadline) {
        if (qwPeriodNs > kLongPeriodNs) {
            const auto until = std::chrono::steady_clock::time_point(
                std::chrono::seconds(deadline.tv_sec) + std::chrono::nanoseconds(deadline.tv_nsec));
            std::unique_lock<std::mutex> lock(stopMutex);
            return !stopCv.wait_until(lock, until, [this] { return bStop.load(std::memory_order_acquire); });
        }
        // A deadline far ahead (a callback idle until then) is waited for on the stop signal up to its
        // last slice, so that a long idle stretch costs one wake-up, not one every slice.
        timespec near = deadline;
        SubNs(near, kLongPeriodNs);
        if (Before(Now(), near)) {
            const auto until = std::chrono::steady_clock::time_point(std::chrono::seconds(near.tv_sec) +
                                                                     std::chrono::nanoseconds(near.tv_nsec));
            std::unique_lock<std::mutex> lock(stopMutex);
            if (stopCv.wait_until(lock, until, [this] { return bStop.load(std::memory_order_acquire); })) {
                return false;
            }
        }
        for (;;) {
            if (bStop.load(std::memory_order_acquire)) {
                return false;
            }
            timespec slice = Now();
            AddNs(slice, kLongPeriodNs);
            if (Before(deadline, slice)) {
                slice = deadline;
            }
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &slice, nullptr) == EINTR) {
            }
            if (!Before(Now(), deadline)) {
                return !bStop.load(std::memory_order_acquire);
            }
        }
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(stopMutex);
            bStop.store(true, std::memory_order_release);
        }
        stopCv.notify_all();
    }

    static constexpr uint64_t kLongPeriodNs = 10000000u;
    static thread_local PeriodicTimer* t_pRunning; // the timer whose callback runs on this thread

    static timespec Now() {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return ts;
    }
    static void AddNs(timespec& ts, uint64_t qwNs) {
        const uint64_t qwTotal = static_cast<uint64_t>(ts.tv_nsec) + qwNs;
        ts.tv_sec += static_cast<time_t>(qwTotal / 1000000000u);
        ts.tv_nsec = static_cast<long>(qwTotal % 1000000000u);
    }
    static void SubNs(timespec& ts, uint64_t qwNs) {
        const uint64_t qwTotal = ToNs(ts) - std::min(qwNs, ToNs(ts));
        ts.tv_sec = static_cast<time_t>(qwTotal / 1000000000u);
        ts.tv_nsec = static_cast<long>(qwTotal % 1000000000u);
    }
    static uint64_t ToNs(const timespec& ts) {
        return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
    }
    static bool Before(const timespec& a, const timespec& b) {
        return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
    }
};

thread_local PeriodicTimer* PeriodicTimer::t_pRunning = nullptr;

std::mutex g_timerLock;
std::vector<std::unique_ptr<PeriodicTimer>> g_timers;
uint32_t g_uLastId = 0;

} // namespace

void PlatformTimerGetDevCaps(PlatformTimeCaps* pCaps) {
    pCaps->wPeriodMin = 1;
    pCaps->wPeriodMax = 1000000;
}

// Linux timers already sleep to the nanosecond; there is no system resolution to raise.
void PlatformTimerBeginPeriod(uint32_t) {}
void PlatformTimerEndPeriod(uint32_t) {}

uint32_t PlatformTimerSetEvent(uint32_t uDelay, uint32_t, PlatformTimerProc pfnCallback, uintptr_t dwUser) {
    if (uDelay == 0 || pfnCallback == nullptr) {
        return 0;
    }
    auto pTimer = std::make_unique<PeriodicTimer>();
    pTimer->qwPeriodNs = static_cast<uint64_t>(uDelay) * 1000000u;
    pTimer->pfnCallback = pfnCallback;
    pTimer->dwUser = dwUser;
    std::lock_guard<std::mutex> lock(g_timerLock);
    pTimer->uId = ++g_uLastId;
    if (pTimer->uId == 0) {
        pTimer->uId = ++g_uLastId;
    }
    try {
        PeriodicTimer* pRaw = pTimer.get();
        pTimer->thread = std::thread([pRaw] { pRaw->Run(); });
    } catch (const std::system_error&) {
        return 0;
    }
    g_timers.push_back(std::move(pTimer));
    return g_timers.back()->uId;
}

// The clock in milliseconds is CLOCK_MONOTONIC's (PlatformMilliseconds), so the first deadline that
// reads dwMilliseconds is that many whole milliseconds on the same clock.
void PlatformTimerIdleUntil(uint32_t dwMilliseconds) {
    PeriodicTimer* pTimer = PeriodicTimer::t_pRunning;
    if (pTimer == nullptr) {
        return;
    }
    const uint64_t qwNowMs = PeriodicTimer::ToNs(PeriodicTimer::Now()) / 1000000u;
    const int32_t nAhead = static_cast<int32_t>(dwMilliseconds - static_cast<uint32_t>(qwNowMs));
    if (nAhead > 0) {
        pTimer->qwIdleUntilNs = (qwNowMs + static_cast<uint32_t>(nAhead)) * 1000000u;
    }
}

bool PlatformTimerKillEvent(uint32_t uTimerId) {
    std::unique_ptr<PeriodicTimer> pTimer;
    {
        std::lock_guard<std::mutex> lock(g_timerLock);
        for (size_t i = 0; i < g_timers.size(); ++i) {
            if (g_timers[i]->uId != uTimerId) {
                continue;
            }
            // Joining its own thread would never return: a callback cannot kill its own timer.
            if (g_timers[i]->thread.get_id() == std::this_thread::get_id()) {
                return false;
            }
            pTimer = std::move(g_timers[i]);
            g_timers.erase(g_timers.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    if (!pTimer) {
        return false;
    }
    pTimer->Stop();
    pTimer->thread.join();
    return true;
}

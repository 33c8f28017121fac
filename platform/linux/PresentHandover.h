// One picture at a time between the render thread and the main thread, for the windows whose pictures
// the main thread shows (SDL's calls are the main thread's). The lock is the window host's, so that a
// window's end and a hand-over to it cannot cross. Part of the present module (Present.h).
#pragma once

#include "platform/linux/Present.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class PresentHandover {
public:
    explicit PresentHandover(std::mutex& mutex) : m_mutex(mutex) {}

    // Render thread, holding the lock in lock (under which the caller found the window live): hands the
    // picture over, wakes the main thread's wait and waits. True once the main thread has shown the
    // picture; false when another one is on its way, or it was not shown, or not taken within a second.
    // A picture being shown is waited for however long that takes. Returns with the lock held.
    bool Hand(std::unique_lock<std::mutex>& lock, const PresentRequest& request);
    // Main thread: takes the picture handed over; false when none waits. Done must follow.
    bool Take(PresentRequest* pRequest);
    // Main thread: the same, waiting for one until the deadline.
    bool TakeUntil(std::chrono::steady_clock::time_point deadline, PresentRequest* pRequest);
    // Main thread, after Take: whether the picture was shown, which Hand returns.
    void Done(bool bShown);
    // With the lock held: a picture waits to be taken.
    bool IsPendingLocked() const { return m_state == STATE_PENDING; }
    // How often the last Hand's wait woke before it ended: a wait sleeps, it never spins.
    uint32_t WakeupsOfLastHand() const { return m_dwWakeups.load(); }

private:
    enum State { STATE_IDLE, STATE_PENDING, STATE_SERVING };

    std::mutex& m_mutex;
    std::condition_variable m_cvRequest; // a picture was handed over
    std::condition_variable m_cvDone;    // the picture was shown (or dropped)
    State m_state = STATE_IDLE;
    PresentRequest m_request{};
    bool m_bShown = false;
    std::atomic<uint32_t> m_dwWakeups{0};
};

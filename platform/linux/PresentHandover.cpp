#include "platform/linux/PresentHandover.h"

#include "platform/linux/MainWait.h"

bool PresentHandover::Hand(std::unique_lock<std::mutex>& lock, const PresentRequest& request) {
    if (m_state != STATE_IDLE) {
        return false;
    }
    m_request = request;
    m_state = STATE_PENDING;
    lock.unlock();
    m_cvRequest.notify_all();
    sdlhost::Wake();
    lock.lock();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    uint32_t dwWakeups = 0;
    while (m_state != STATE_IDLE) {
        if (m_state == STATE_SERVING) {
            // Being shown: the deadline is for a main thread that does not come, not for a slow show.
            m_cvDone.wait(lock);
        } else if (m_cvDone.wait_until(lock, deadline) == std::cv_status::timeout &&
                   m_state == STATE_PENDING) {
            // The main thread is busy elsewhere: take the picture back, so that its buffer is ours again.
            m_state = STATE_IDLE;
            m_dwWakeups.store(dwWakeups + 1);
            return false;
        }
        ++dwWakeups;
    }
    m_dwWakeups.store(dwWakeups);
    return m_bShown;
}

bool PresentHandover::Take(PresentRequest* pRequest) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_state != STATE_PENDING) {
        return false;
    }
    m_state = STATE_SERVING;
    *pRequest = m_request;
    return true;
}

bool PresentHandover::TakeUntil(std::chrono::steady_clock::time_point deadline, PresentRequest* pRequest) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_state != STATE_PENDING) {
        if (m_cvRequest.wait_until(lock, deadline) == std::cv_status::timeout && m_state != STATE_PENDING) {
            return false;
        }
    }
    m_state = STATE_SERVING;
    *pRequest = m_request;
    return true;
}

void PresentHandover::Done(bool bShown) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = STATE_IDLE;
    m_bShown = bShown;
    m_cvDone.notify_all();
}

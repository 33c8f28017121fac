#include "platform/Thread.h"

#include "platform/linux/Present.h"
#include "platform/linux/Window.h"

#include <atomic>
#include <cerrno>
#include <new>
#include <pthread.h>
#include <time.h>

namespace {

struct ThreadRecord {
    pthread_t thread;
    ThreadProc pfnProc;
    void* pArg;
    std::atomic<uint32_t> dwExitCode{THREAD_STILL_ACTIVE};
};

void* ThreadStart(void* pRecord) {
    ThreadRecord* pThread = static_cast<ThreadRecord*>(pRecord);
    const uint32_t dwCode = pThread->pfnProc(pThread->pArg);
    // A thread that returns STILL_ACTIVE itself would look alive for ever, as on Windows.
    pThread->dwExitCode.store(dwCode, std::memory_order_release);
    return nullptr;
}

} // namespace

ThreadHandle PlatformCreateThread(ThreadProc pfnProc, void* pArg) {
    ThreadRecord* pThread = new (std::nothrow) ThreadRecord;
    if (pThread == nullptr) {
        return 0;
    }
    pThread->pfnProc = pfnProc;
    pThread->pArg = pArg;
    if (pthread_create(&pThread->thread, nullptr, ThreadStart, pThread) != 0) {
        delete pThread;
        return 0;
    }
    return reinterpret_cast<ThreadHandle>(pThread);
}

bool PlatformGetExitCodeThread(ThreadHandle hThread, uint32_t* pdwExitCode) {
    if (hThread == 0) {
        return false;
    }
    *pdwExitCode = reinterpret_cast<ThreadRecord*>(hThread)->dwExitCode.load(std::memory_order_acquire);
    return true;
}

void PlatformCloseThread(ThreadHandle hThread) {
    if (hThread == 0) {
        return;
    }
    ThreadRecord* pThread = reinterpret_cast<ThreadRecord*>(hThread);
    pthread_join(pThread->thread, nullptr);
    delete pThread;
}

void PlatformSleep(uint32_t dwMilliseconds) {
    // The main thread keeps showing the pictures handed to it while it waits (for the render thread's
    // end, which may be waiting for one).
    if (SdlHostIsMainThread()) {
        ServePresentsFor(dwMilliseconds);
        return;
    }
    timespec rest{static_cast<time_t>(dwMilliseconds / 1000),
                  static_cast<long>(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

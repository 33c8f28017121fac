#include "platform/Thread.h"

#include <atomic>
// The durations come with <thread>: <chrono> itself spells a suffix in a character that code page 932
// lacks, so it does not compile in the Windows build.
#include <thread>

namespace {

struct HeadlessThread {
    std::thread thread;
    std::atomic<uint32_t> dwExitCode{THREAD_STILL_ACTIVE};
};

} // namespace

ThreadHandle PlatformCreateThread(ThreadProc pfnProc, void* pArg) {
    HeadlessThread* pThread = new HeadlessThread;
    try {
        // The exit code is published last, so that a reader who sees it also sees all the thread did.
        pThread->thread = std::thread([pThread, pfnProc, pArg] { pThread->dwExitCode.store(pfnProc(pArg)); });
    } catch (...) {
        delete pThread;
        return 0;
    }
    return reinterpret_cast<ThreadHandle>(pThread);
}

bool PlatformGetExitCodeThread(ThreadHandle hThread, uint32_t* pdwExitCode) {
    if (hThread == 0) {
        return false;
    }
    *pdwExitCode = reinterpret_cast<HeadlessThread*>(hThread)->dwExitCode.load();
    return true;
}

void PlatformCloseThread(ThreadHandle hThread) {
    HeadlessThread* pThread = reinterpret_cast<HeadlessThread*>(hThread);
    if (pThread == nullptr) {
        return;
    }
    if (pThread->thread.joinable()) {
        pThread->thread.join();
    }
    delete pThread;
}

void PlatformSleep(uint32_t dwMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

#include "platform/Thread.h"

#include <windows.h>

#include <new>

namespace {
struct ThreadStart {
    ThreadProc pfnProc;
    void* pArg;
};

// A named stdcall function: the thread procedure's form in both widths.
DWORD WINAPI ThreadMain(LPVOID pParam) {
    const ThreadStart start = *static_cast<ThreadStart*>(pParam);
    delete static_cast<ThreadStart*>(pParam);
    return start.pfnProc(start.pArg);
}
} // namespace

ThreadHandle PlatformCreateThread(ThreadProc pfnProc, void* pArg) {
    ThreadStart* pStart = new (std::nothrow) ThreadStart{pfnProc, pArg};
    if (pStart == nullptr) {
        return 0;
    }
    DWORD dwId = 0;
    HANDLE hThread = CreateThread(nullptr, 0, ThreadMain, pStart, 0, &dwId);
    if (hThread == nullptr) {
        delete pStart;
        return 0;
    }
    return reinterpret_cast<ThreadHandle>(hThread);
}

bool PlatformGetExitCodeThread(ThreadHandle hThread, uint32_t* pdwExitCode) {
    DWORD dwCode = 0;
    if (hThread == 0 || !GetExitCodeThread(reinterpret_cast<HANDLE>(hThread), &dwCode)) {
        return false;
    }
    *pdwExitCode = dwCode;
    return true;
}

void PlatformCloseThread(ThreadHandle hThread) {
    if (hThread != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(hThread));
    }
}

void PlatformSleep(uint32_t dwMilliseconds) {
    Sleep(dwMilliseconds);
}

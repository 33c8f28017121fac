// Thread service: the render thread, polled for its end as the framework's stop sequence requires.
// Windows: CreateThread and GetExitCodeThread; Linux and headless: a joinable POSIX thread.
#pragma once

#include <cstdint>

// A thread; 0 is none.
using ThreadHandle = uintptr_t;

// The exit code that PlatformGetExitCodeThread reports while the thread runs.
constexpr uint32_t THREAD_STILL_ACTIVE = 259;

using ThreadProc = uint32_t (*)(void* pArg);

// Main thread: starts pfnProc(pArg) on a new thread at once. Returns 0 when it cannot.
ThreadHandle PlatformCreateThread(ThreadProc pfnProc, void* pArg);
// Main thread: the thread's exit code, or THREAD_STILL_ACTIVE while it runs. False for no thread.
bool PlatformGetExitCodeThread(ThreadHandle hThread, uint32_t* pdwExitCode);
// Main thread, after the thread has ended: gives up the handle (joins and frees it).
void PlatformCloseThread(ThreadHandle hThread);
// Any thread: sleeps dwMilliseconds. On the main thread the platform keeps serving its own duties while
// it sleeps (Linux: the presents of a render thread that is still drawing its fade-out).
void PlatformSleep(uint32_t dwMilliseconds);

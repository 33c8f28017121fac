// The Windows system services: debug output to the debugger, the tick count and the multimedia clock,
// and the local heap.
#include "platform/Clock.h"
#include "platform/DebugOut.h"
#include "platform/Heap.h"

#include <windows.h>

#include <mmsystem.h>

void PlatformDebugOutput(const char* pszText) {
    OutputDebugStringA(pszText);
}

uint32_t PlatformTickCount() {
    return GetTickCount();
}

// The multimedia clock follows the raised timer resolution to the millisecond; the tick count may not.
uint32_t PlatformMilliseconds() {
    return timeGetTime();
}

// The local heap serialises its own callers, so the threads need no lock of ours.
void* PlatformHeapAlloc(size_t dwSize) {
    return LocalAlloc(LMEM_FIXED, dwSize);
}

void PlatformHeapFree(void* pBlock) {
    LocalFree(pBlock);
}

#include "platform/Heap.h"

#include <windows.h>

// The local heap serialises its own callers, so the threads need no lock of ours.
void* PlatformHeapAlloc(size_t dwSize) {
    return LocalAlloc(LMEM_FIXED, dwSize);
}

void PlatformHeapFree(void* pBlock) {
    LocalFree(pBlock);
}

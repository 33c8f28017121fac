#include "framework/Memory.h"

#include "framework/SString.h"
#include "platform/Heap.h"

const char* OutOfMemoryText() {
    return Tr("Could not allocate the memory needed: out of memory.\n");
}

void* MemAlloc(size_t dwSize) {
    // A zero-sized request still gets a distinct block, so that a null result always means failure.
    void* pBlock = PlatformHeapAlloc(dwSize == 0 ? 1 : dwSize);
    if (pBlock == nullptr) {
        throw SString("%s", OutOfMemoryText());
    }
    return pBlock;
}

void MemFree(void* pBlock) {
    if (pBlock != nullptr) {
        PlatformHeapFree(pBlock);
    }
}

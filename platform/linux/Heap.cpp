#include "platform/Heap.h"

#include <cstdlib>

void* PlatformHeapAlloc(size_t dwSize) {
    return std::malloc(dwSize);
}

void PlatformHeapFree(void* pBlock) {
    std::free(pBlock);
}

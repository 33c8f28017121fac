// Heap service: the process heap behind MemAlloc and MemFree (framework/Memory.h).
#pragma once

#include <cstddef>

// Called by MemAlloc on any thread, concurrently; returns a block of at least dwSize bytes with
// fundamental alignment, contents undefined, or null when the heap cannot supply it.
void* PlatformHeapAlloc(size_t dwSize);
// Called by MemFree on any thread with a non-null block from PlatformHeapAlloc.
void PlatformHeapFree(void* pBlock);

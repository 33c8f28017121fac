// The headless layer's system services: the debug output captured in memory, the simulated clock that
// tests and tools steer, and the C library's heap.
#include "platform/Clock.h"
#include "platform/DebugOut.h"
#include "platform/Heap.h"
#include "platform/headless/Headless.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex g_debugLock;
std::string g_debugText;
std::atomic<uint32_t> g_dwTickCount{0};
} // namespace

void PlatformDebugOutput(const char* pszText) {
    std::lock_guard<std::mutex> lock(g_debugLock);
    g_debugText += pszText;
}

std::string HeadlessDebugText() {
    std::lock_guard<std::mutex> lock(g_debugLock);
    return g_debugText;
}

void HeadlessClearDebugText() {
    std::lock_guard<std::mutex> lock(g_debugLock);
    g_debugText.clear();
}

uint32_t PlatformTickCount() {
    return g_dwTickCount.load();
}

void HeadlessSetTickCount(uint32_t dwMs) {
    g_dwTickCount.store(dwMs);
}

void HeadlessAdvanceTickCount(uint32_t dwMs) {
    g_dwTickCount.fetch_add(dwMs);
}

uint32_t PlatformMilliseconds() {
    return g_dwTickCount.load();
}

void* PlatformHeapAlloc(size_t dwSize) {
    return std::malloc(dwSize);
}

void PlatformHeapFree(void* pBlock) {
    std::free(pBlock);
}

#include "platform/Clock.h"
#include "platform/headless/Headless.h"

#include <atomic>

namespace {
std::atomic<uint32_t> g_dwTickCount{0};
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

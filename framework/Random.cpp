#include "framework/Random.h"

#include "platform/Clock.h"

namespace {
uint32_t g_dwRandomState = 1;
}

void SeedRandom() {
    g_dwRandomState = PlatformTickCount();
}

void SeedRandom(uint32_t dwSeed) {
    g_dwRandomState = dwSeed;
}

int32_t Random(int32_t n) {
    g_dwRandomState = g_dwRandomState * 214013u + 2531011u;
    const int32_t nResult = static_cast<int32_t>((g_dwRandomState >> 16) & 0x7FFF);
    return nResult % n;
}

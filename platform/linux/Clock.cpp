#include "platform/Clock.h"

#include <time.h>

uint32_t PlatformTickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t qwMs =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(qwMs);
}

uint32_t PlatformMilliseconds() {
    return PlatformTickCount();
}

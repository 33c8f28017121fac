// Clock service: the system tick count.
#pragma once

#include <cstdint>

// Called by SeedRandom on the main thread (and by timing code on any thread): milliseconds since an
// arbitrary start, wrapping at 2^32. Linux: CLOCK_MONOTONIC; headless: the simulated time.
uint32_t PlatformTickCount();

// Clock service: the system tick count and the millisecond clock of the music sequencer.
#pragma once

#include <cstdint>

// Called by SeedRandom on the main thread (and by timing code on any thread): milliseconds since an
// arbitrary start, wrapping at 2^32. Linux: CLOCK_MONOTONIC; headless: the simulated time.
uint32_t PlatformTickCount();

// Called by the music sequencer on its timer thread (and by Play on the owner's thread): milliseconds
// since an arbitrary start, to the millisecond, wrapping at 2^32. Linux: CLOCK_MONOTONIC; headless: the
// same simulated time as PlatformTickCount.
uint32_t PlatformMilliseconds();

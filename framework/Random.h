// The program's pseudo-random generator: a 32-bit linear congruential state,
// state = state * 214013 + 2531011 (mod 2^32), each result being bits 16..30 of the new state.
//
// The scene seeds it once from the tick count in its creation hook and draws its numbers there, on the
// main thread only; the offline renderer and the tests seed it with a fixed value instead.
#pragma once

#include <cstdint>

// Seeds the generator from the platform's tick count in milliseconds.
void SeedRandom();
// Seeds the generator with a given value (reproducible runs).
void SeedRandom(uint32_t dwSeed);
// The next result modulo n, for n from 1 to 32768: a value from 0 to n - 1.
int32_t Random(int32_t n);

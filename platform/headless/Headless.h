// What the headless platform lets a test or tool see and steer: the captured debug output and the
// simulated clock. Safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>

// Everything written through PlatformDebugOutput since the last clear, in order.
std::string HeadlessDebugText();
void HeadlessClearDebugText();

// Sets and advances the simulated tick count that PlatformTickCount returns.
void HeadlessSetTickCount(uint32_t dwMs);
void HeadlessAdvanceTickCount(uint32_t dwMs);

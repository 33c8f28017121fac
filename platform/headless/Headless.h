// What the headless platform lets a test or tool see and steer: the captured debug output, the
// simulated clock and the timers it drives. Safe to call from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Everything written through PlatformDebugOutput since the last clear, in order.
std::string HeadlessDebugText();
void HeadlessClearDebugText();

// Sets and advances the simulated tick count that PlatformTickCount returns.
void HeadlessSetTickCount(uint32_t dwMs);
void HeadlessAdvanceTickCount(uint32_t dwMs);

// Advances the simulated clock one millisecond at a time, dwMs times; after each step every timer that
// has become due runs its callback on the caller's thread, in the order the timers were started.
void HeadlessStepTimers(uint32_t dwMs);
// Timers started and not yet killed.
size_t HeadlessLiveTimers();
// The timer period raised at start-up and not yet restored; 0 when none is.
uint32_t HeadlessRaisedTimerPeriod();

// The language of PlatformTranslate from now on ("ja", "en"; a string that lives for the process);
// null goes back to the locale's.
void HeadlessSetLanguage(const char* pszCode);

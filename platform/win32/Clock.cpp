#include "platform/Clock.h"

#include <windows.h>

#include <mmsystem.h>

uint32_t PlatformTickCount() {
    return GetTickCount();
}

// The multimedia clock follows the raised timer resolution to the millisecond; the tick count may not.
uint32_t PlatformMilliseconds() {
    return timeGetTime();
}

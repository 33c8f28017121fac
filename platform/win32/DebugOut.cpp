#include "platform/DebugOut.h"

#include <windows.h>

void PlatformDebugOutput(const char* pszText) {
    OutputDebugStringA(pszText);
}

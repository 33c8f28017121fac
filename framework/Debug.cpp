#include "framework/Debug.h"

#include "platform/DebugOut.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
std::atomic<TraceSink> g_pfnTraceSink{nullptr};
}

void SetTraceSink(TraceSink pfnSink) {
    g_pfnTraceSink.store(pfnSink);
}

void Trace(const char* pszFormat, ...) {
    const TraceSink pfnSink = g_pfnTraceSink.load();
    if (pfnSink == nullptr) {
        return;
    }
    char szLine[512];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(szLine, sizeof(szLine), pszFormat, args);
    va_end(args);
    pfnSink(szLine);
}

void DebugPrint(const char* pszFormat, ...) {
    // A 516-byte buffer of which at most 513 characters are written, always terminated.
    char szText[516];
    va_list args;
    va_start(args, pszFormat);
    const int nWritten = std::vsnprintf(szText, 514, pszFormat, args);
    va_end(args);
    if (nWritten < 0) {
        szText[0] = '\0';
    }
    PlatformDebugOutput(szText);
}

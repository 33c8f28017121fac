// The Linux system services: debug output on stderr, the monotonic clock and the C library's heap.
#include "platform/Clock.h"
#include "platform/DebugOut.h"
#include "platform/Heap.h"
#include "platform/linux/Language.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <time.h>
#include <unistd.h>

void PlatformDebugOutput(const char* pszText) {
    // In the terminal's character set, like --help.
    const std::string text = TerminalText(pszText);
    // One write per message keeps lines from different threads whole.
    const size_t nLength = text.size();
    char szLine[1024];
    size_t nOut = nLength < sizeof(szLine) - 1 ? nLength : sizeof(szLine) - 2;
    std::memcpy(szLine, text.data(), nOut);
    if (nOut == 0 || szLine[nOut - 1] != '\n') {
        szLine[nOut++] = '\n';
    }
    const char* p = szLine;
    while (nOut > 0) {
        const ssize_t n = ::write(STDERR_FILENO, p, nOut);
        if (n <= 0) {
            return;
        }
        p += n;
        nOut -= static_cast<size_t>(n);
    }
}

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

void* PlatformHeapAlloc(size_t dwSize) {
    return std::malloc(dwSize);
}

void PlatformHeapFree(void* pBlock) {
    std::free(pBlock);
}

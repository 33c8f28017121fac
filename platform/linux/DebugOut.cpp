#include "platform/DebugOut.h"

#include <cstring>
#include <unistd.h>

void PlatformDebugOutput(const char* pszText) {
    // One write per message keeps lines from different threads whole.
    const size_t nLength = std::strlen(pszText);
    char szLine[1024];
    size_t nOut = nLength < sizeof(szLine) - 1 ? nLength : sizeof(szLine) - 2;
    std::memcpy(szLine, pszText, nOut);
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

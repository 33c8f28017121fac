#include "platform/DebugOut.h"
#include "platform/headless/Headless.h"

#include <mutex>

namespace {
std::mutex g_debugLock;
std::string g_debugText;
} // namespace

void PlatformDebugOutput(const char* pszText) {
    std::lock_guard<std::mutex> lock(g_debugLock);
    g_debugText += pszText;
}

std::string HeadlessDebugText() {
    std::lock_guard<std::mutex> lock(g_debugLock);
    return g_debugText;
}

void HeadlessClearDebugText() {
    std::lock_guard<std::mutex> lock(g_debugLock);
    g_debugText.clear();
}

#include "framework/Debug.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Runs fn with stderr sent to a file and returns what it wrote there.
template <class Fn>
std::string CaptureStderr(Fn fn) {
    char szPath[] = "/tmp/lumivorra-stderr-XXXXXX";
    const int fd = mkstemp(szPath);
    const int saved = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    fn();
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text;
    char buffer[256];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd, buffer, sizeof(buffer))) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    unlink(szPath);
    return text;
}

} // namespace

TEST(LinuxServices, DebugOutputIsOneLineOnStderr) {
    EXPECT_EQ(CaptureStderr([] { DebugPrint("%s", "failed CreateWindowEx(...) 返値=NULL\n"); }),
              "failed CreateWindowEx(...) 返値=NULL\n");
    // A message without its own newline still ends its line.
    EXPECT_EQ(CaptureStderr([] { DebugPrint("%s", "未対応のビットマップです。"); }),
              "未対応のビットマップです。\n");
}

TEST(LinuxServices, TickCountFollowsTheMonotonicClockInMilliseconds) {
    const uint32_t dwStart = PlatformTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const uint32_t dwElapsed = PlatformTickCount() - dwStart;
    EXPECT_GE(dwElapsed, 50u);
    EXPECT_LT(dwElapsed, 10000u);
}

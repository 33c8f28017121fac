#include "framework/Debug.h"
#include "platform/Clock.h"
#include "platform/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

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

namespace {

uint64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

} // namespace

TEST(LinuxServices, TickCountIsTheMonotonicClockInMillisecondsWrappingAt32Bits) {
    // Read between two readings of the clock itself: no bound on how long the machine takes between them.
    for (int i = 0; i < 1000; ++i) {
        const uint64_t qwBefore = MonotonicNs() / 1000000u;
        const uint32_t dwTick = PlatformTickCount();
        const uint64_t qwAfter = MonotonicNs() / 1000000u;
        EXPECT_LE(static_cast<uint32_t>(dwTick - static_cast<uint32_t>(qwBefore)),
                  static_cast<uint32_t>(qwAfter - qwBefore));
    }
}

namespace {

// A periodic timer whose first callback is held past several of its deadlines.
struct HeldTimer {
    static constexpr uint64_t kPeriodNs = 5000000; // 5 ms
    std::atomic<int> nCalls{0};
    uint64_t qwFirstDeadline = 0;
    uint64_t qwFirstReturned = 0; // when the held callback returned
    std::vector<uint64_t> later;  // the deadlines of the next calls
    std::atomic<bool> bDone{false};
};

void HoldFirstCall(uint32_t, uint32_t, uintptr_t dwUser, uintptr_t dw1, uintptr_t) {
    HeldTimer& timer = *reinterpret_cast<HeldTimer*>(dwUser);
    const int nCall = timer.nCalls.fetch_add(1);
    if (nCall == 0) {
        timer.qwFirstDeadline = dw1;
        // Well past the next deadlines, however the machine schedules the sleep.
        std::this_thread::sleep_for(
            std::chrono::nanoseconds(4 * HeldTimer::kPeriodNs + HeldTimer::kPeriodNs / 2));
        timer.qwFirstReturned = MonotonicNs();
    } else if (nCall <= 3) {
        timer.later.push_back(dw1);
        if (nCall == 3) {
            timer.bDone.store(true);
        }
    }
}

} // namespace

TEST(LinuxTimer, DeadlinesMissedWhileACallbackRanAreSkippedNotMadeUpInABurst) {
    HeldTimer timer;
    const uint32_t uId = PlatformTimerSetEvent(5, 1, HoldFirstCall, reinterpret_cast<uintptr_t>(&timer));
    ASSERT_NE(uId, 0u);
    while (!timer.bDone.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(PlatformTimerKillEvent(uId));
    ASSERT_EQ(timer.later.size(), 3u);
    // The next call's deadline is the first one still ahead when the held call returned: a burst would
    // bring the passed ones, one right after the other.
    const uint64_t qwNext = timer.later[0];
    EXPECT_GT(qwNext, timer.qwFirstReturned) << "a deadline passed while the callback ran was made up";
    EXPECT_EQ((qwNext - timer.qwFirstDeadline) % HeldTimer::kPeriodNs, 0u) << "off the period's grid";
    // From there on, one call a period, each on its own deadline.
    for (size_t i = 1; i < timer.later.size(); ++i) {
        EXPECT_GT(timer.later[i], timer.later[i - 1]);
        EXPECT_EQ((timer.later[i] - timer.later[i - 1]) % HeldTimer::kPeriodNs, 0u);
    }
}

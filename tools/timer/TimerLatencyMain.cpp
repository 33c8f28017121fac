// lumivorra-timer-latency [SECONDS]: runs the real 1 ms timer through TimerSetEvent for SECONDS (10 by
// default) and prints how late its callbacks came after their deadlines (which the Linux timer passes
// to its callback): p50, p99 and max in microseconds, and how many periods were skipped.
#include "framework/Timer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <time.h>
#include <vector>

namespace {

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Written by the timer's thread only, read after the kill has joined it.
std::vector<int64_t> g_lateNs;

void OnTick(uint32_t, uint32_t, uintptr_t, uintptr_t dwDeadlineNs, uintptr_t) {
    if (g_lateNs.size() < g_lateNs.capacity()) {
        g_lateNs.push_back(MonotonicNs() - static_cast<int64_t>(dwDeadlineNs));
    }
}

double PercentileUs(const std::vector<int64_t>& sorted, double dFraction) {
    return static_cast<double>(
               sorted[static_cast<size_t>(dFraction * static_cast<double>(sorted.size() - 1))]) /
           1000.0;
}

} // namespace

int main(int argc, char** argv) {
    TimerStartup();
    const int nSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (nSeconds <= 0) {
        std::fprintf(stderr, "usage: lumivorra-timer-latency [SECONDS]\n");
        return 2;
    }
    g_lateNs.reserve(static_cast<size_t>(nSeconds) * 1000 + 1000);
    const uint32_t uId = TimerSetEvent(1, OnTick, 0);
    if (uId == 0) {
        std::fprintf(stderr, "lumivorra-timer-latency: no timer\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(nSeconds));
    TimerKillEvent(uId);
    std::vector<int64_t> sorted = g_lateNs;
    if (sorted.empty()) {
        std::fprintf(stderr, "lumivorra-timer-latency: no callback\n");
        return 1;
    }
    std::sort(sorted.begin(), sorted.end());
    const long long nPeriods = static_cast<long long>(nSeconds) * 1000;
    std::printf("callbacks %zu in %lld periods (%lld skipped)\n", sorted.size(), nPeriods,
                nPeriods - static_cast<long long>(sorted.size()));
    std::printf("lateness us: p50 %.1f  p99 %.1f  max %.1f\n", PercentileUs(sorted, 0.50),
                PercentileUs(sorted, 0.99), static_cast<double>(sorted.back()) / 1000.0);
    return 0;
}

#include "platform/linux/MidiOut.h"
#include "framework/Debug.h"
#include "framework/Timer.h"
#include "platform/shared/FluidSynthMidi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TickCount {
    std::atomic<int> nTicks{0};
    std::atomic<uint32_t> uId{0};
    std::atomic<bool> bSelfKillRefused{false};
};

void CountTick(uint32_t, uint32_t, uintptr_t dwUser, uintptr_t, uintptr_t) {
    reinterpret_cast<TickCount*>(dwUser)->nTicks.fetch_add(1);
}

void TryKillSelf(uint32_t uTimerId, uint32_t, uintptr_t dwUser, uintptr_t, uintptr_t) {
    TickCount& count = *reinterpret_cast<TickCount*>(dwUser);
    if (count.nTicks.fetch_add(1) == 0) {
        count.bSelfKillRefused.store(!PlatformTimerKillEvent(uTimerId));
    }
}

std::mutex g_traceLock;
std::string g_trace;
void CaptureTrace(const char* pszLine) {
    std::lock_guard<std::mutex> lock(g_traceLock);
    g_trace += pszLine;
}

std::set<std::string> Threads() {
    std::set<std::string> tasks;
    if (DIR* pDir = opendir("/proc/self/task")) {
        while (const dirent* pEntry = readdir(pDir)) {
            if (pEntry->d_name[0] != '.') {
                tasks.insert(pEntry->d_name);
            }
        }
        closedir(pDir);
    }
    return tasks;
}

// How often the thread has gone to sleep, as the kernel counts it.
long Sleeps(const std::string& task) {
    std::ifstream status("/proc/self/task/" + task + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
            return std::stol(line.substr(line.find(':') + 1));
        }
    }
    return -1;
}

} // namespace

TEST(LinuxTimer, ALongTimerSleepsThroughItsPeriodAndItsKillWakesItAtOnce) {
    const std::set<std::string> before = Threads();
    TickCount count;
    const uint32_t uId = TimerSetEvent(10000, CountTick, reinterpret_cast<uintptr_t>(&count));
    ASSERT_NE(uId, 0u);
    std::string timerThread;
    for (const std::string& task : Threads()) {
        if (before.count(task) == 0) {
            timerThread = task;
        }
    }
    ASSERT_FALSE(timerThread.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const long nSleepsBefore = Sleeps(timerThread);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Not woken to look at a flag every few milliseconds: an idle machine keeps idle.
    EXPECT_LE(Sleeps(timerThread) - nSleepsBefore, 2);
    const auto killed = std::chrono::steady_clock::now();
    EXPECT_TRUE(PlatformTimerKillEvent(uId));
    EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(5));
    EXPECT_EQ(count.nTicks.load(), 0);

    TickCount ticks;
    const uint32_t uTicking = TimerSetEvent(40, CountTick, reinterpret_cast<uintptr_t>(&ticks));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(PlatformTimerKillEvent(uTicking));
    // Loose bounds again: about seven periods went by.
    EXPECT_GE(ticks.nTicks.load(), 2);
    EXPECT_LE(ticks.nTicks.load(), 8);
}

TEST(LinuxTimer, RunsEveryMillisecondAndNoCallbackFollowsTheKill) {
    TickCount count;
    const uint32_t uId = TimerSetEvent(1, CountTick, reinterpret_cast<uintptr_t>(&count));
    ASSERT_NE(uId, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    TimerKillEvent(uId);
    const int nTicks = count.nTicks.load();
    // Loose bounds: a loaded machine skips periods, but a 1 ms timer cannot be a 10 ms one.
    EXPECT_GT(nTicks, 10);
    EXPECT_LE(nTicks, 101);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(count.nTicks.load(), nTicks);
    EXPECT_FALSE(PlatformTimerKillEvent(uId));

    TickCount self;
    const uint32_t uSelf = TimerSetEvent(1, TryKillSelf, reinterpret_cast<uintptr_t>(&self));
    while (self.nTicks.load() < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(self.bSelfKillRefused.load());
    EXPECT_TRUE(PlatformTimerKillEvent(uSelf));
}

TEST(LinuxMidiOut, OpensWithoutAnAudioDeviceButNotWithoutASoundfont) {
    const char* const apszNone[] = {"/nonexistent/none.sf2", nullptr};
    LinuxMidiOut none(apszNone);
    EXPECT_EQ(none.Open(), MIDIOUT_ERR_NO_SOUNDFONT);

    // No such audio driver: the synthesizer plays into the silent sink.
    setenv("SDL_AUDIODRIVER", "lumivorra-none", 1);
    SetTraceSink(CaptureTrace);
    LinuxMidiOut output;
    EXPECT_EQ(output.Open(), MIDIOUT_OK);
    SetTraceSink(nullptr);
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_FALSE(output.HasAudioDevice());
    EXPECT_NE(g_trace.find("LinuxMidiOut: no audio device"), std::string::npos);
    const uint8_t aReset[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    output.LongMsg(aReset, sizeof(aReset));
    output.ShortMsg(0x643C90);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    output.Reset();
    output.Close();
    output.Close();
}

TEST(LinuxMidiOut, TheResetSilencesAHeldChordAtOnce) {
    // The synthesizer that the Linux output sounds, rendered by hand.
    FluidSynthMidi synth;
    ASSERT_EQ(synth.Open(44100), MIDIOUT_OK);
    const auto loudest = [&synth](int nFrames) {
        std::vector<int16_t> samples(static_cast<size_t>(nFrames) * 2);
        synth.Render(samples.data(), nFrames);
        int nPeak = 0;
        for (int16_t n : samples) {
            nPeak = std::max(nPeak, std::abs(static_cast<int>(n)));
        }
        return nPeak;
    };
    // An organ chord with the sustain pedal down, on two channels: it would sound for ever.
    for (uint32_t dwChannel : {0u, 1u}) {
        synth.ShortMsg(0xC0 | dwChannel | 19u << 8);
        synth.ShortMsg(0xB0 | dwChannel | 64u << 8 | 127u << 16);
        for (uint32_t dwKey : {60u, 64u, 67u}) {
            synth.ShortMsg(0x90 | dwChannel | dwKey << 8 | 100u << 16);
        }
    }
    EXPECT_GT(loudest(22050), 3000);
    synth.Reset();
    // After the few milliseconds in which the cut voices fade, the second that follows stays below
    // -40 dBFS: no voice in its release, no pedal holding one, no reverb tail to speak of.
    loudest(256);
    EXPECT_LT(loudest(44100), 328);
}

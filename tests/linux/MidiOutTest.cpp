#include "platform/linux/MidiOut.h"
#include "TraceCapture.h"
#include "framework/Debug.h"
#include "framework/Timer.h"
#include "platform/Clock.h"
#include "platform/shared/FluidSynthMidi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
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

// The deadlines the timer passes its first calls, and whether each call came at or after its deadline.
struct Deadlines {
    static constexpr int kCalls = 60;
    std::atomic<int> nCalls{0};
    uint64_t aqwDeadline[kCalls] = {};
    bool abOnTime[kCalls] = {};
};

uint64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

void RecordDeadline(uint32_t, uint32_t, uintptr_t dwUser, uintptr_t dw1, uintptr_t) {
    Deadlines& record = *reinterpret_cast<Deadlines*>(dwUser);
    const int n = record.nCalls.load();
    if (n < Deadlines::kCalls) {
        record.aqwDeadline[n] = dw1;
        record.abOnTime[n] = MonotonicNs() >= dw1;
        record.nCalls.store(n + 1);
    }
}

// A callback that, on its first call, has nothing to do for the next 30 ms.
struct Idler {
    std::atomic<int> nCalls{0};
    uint64_t aqwDeadline[2] = {};
    uint32_t adwClock[2] = {};
    uint32_t dwIdleUntil = 0;
};

void IdleAfterFirstCall(uint32_t, uint32_t, uintptr_t dwUser, uintptr_t dw1, uintptr_t) {
    Idler& idler = *reinterpret_cast<Idler*>(dwUser);
    const int n = idler.nCalls.load();
    if (n < 2) {
        idler.aqwDeadline[n] = dw1;
        idler.adwClock[n] = PlatformMilliseconds();
        if (n == 0) {
            idler.dwIdleUntil = idler.adwClock[0] + 30;
            PlatformTimerIdleUntil(idler.dwIdleUntil);
        }
    }
    idler.nCalls.store(n + 1);
}

// Waits for what must come, however slow the machine; gives up only after far longer than any run
// could need, so that a fault fails the test instead of hanging it.
template <typename Test>
bool Eventually(Test test) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!test()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
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

// A sound server that takes connections and never answers them, as a stopped one does.
class FrozenServer {
public:
    FrozenServer() {
        m_path = "/tmp/lumivorra-frozen-" + std::to_string(getpid());
        unlink(m_path.c_str());
        m_nFd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", m_path.c_str());
        bind(m_nFd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(m_nFd, 16);
        setenv("PULSE_SERVER", ("unix:" + m_path).c_str(), 1);
    }
    ~FrozenServer() {
        unsetenv("PULSE_SERVER");
        close(m_nFd);
        unlink(m_path.c_str());
    }

private:
    std::string m_path;
    int m_nFd = -1;
};

} // namespace

TEST(LinuxTimer, ALongTimerSleepsThroughItsPeriodAndItsKillWakesItAtOnce) {
    const std::set<std::string> before = Threads();
    TickCount count;
    // An hour: the kill below returns only if it wakes the sleep itself.
    const uint32_t uId = TimerSetEvent(3600000, CountTick, reinterpret_cast<uintptr_t>(&count));
    ASSERT_NE(uId, 0u);
    std::string timerThread;
    for (const std::string& task : Threads()) {
        if (before.count(task) == 0) {
            timerThread = task;
        }
    }
    ASSERT_FALSE(timerThread.empty());
    ASSERT_TRUE(Eventually([&] { return Sleeps(timerThread) >= 1; }));
    const long nSleepsBefore = Sleeps(timerThread);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Not woken to look at a flag every few milliseconds: however long that stretch took, no deadline
    // passed in it, so the thread slept through it.
    EXPECT_LE(Sleeps(timerThread) - nSleepsBefore, 2);
    EXPECT_TRUE(PlatformTimerKillEvent(uId));
    EXPECT_EQ(count.nTicks.load(), 0);
}

TEST(LinuxTimer, CallsComeOnTheirDeadlinesAPeriodApartAndNoneFollowsTheKill) {
    for (uint32_t uPeriod : {1u, 40u}) {
        Deadlines record;
        const uint32_t uId = TimerSetEvent(uPeriod, RecordDeadline, reinterpret_cast<uintptr_t>(&record));
        ASSERT_NE(uId, 0u);
        ASSERT_TRUE(
            Eventually([&] { return record.nCalls.load() >= (uPeriod == 1 ? Deadlines::kCalls : 4); }));
        TimerKillEvent(uId);
        const int nCalls = record.nCalls.load();
        // A loaded machine may skip or make up a deadline, but every call has its own, a whole number of
        // periods after the one before, and none comes early.
        for (int i = 0; i < nCalls; ++i) {
            EXPECT_TRUE(record.abOnTime[i])
                << "call " << i << " of the " << uPeriod << " ms timer came early";
            if (i > 0) {
                const uint64_t qwStep = record.aqwDeadline[i] - record.aqwDeadline[i - 1];
                EXPECT_GT(record.aqwDeadline[i], record.aqwDeadline[i - 1]);
                EXPECT_EQ(qwStep % (uPeriod * 1000000ull), 0u)
                    << "call " << i << " of the " << uPeriod << " ms timer";
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * uPeriod));
        EXPECT_EQ(record.nCalls.load(), nCalls);
        EXPECT_FALSE(PlatformTimerKillEvent(uId));
    }

    TickCount self;
    const uint32_t uSelf = TimerSetEvent(1, TryKillSelf, reinterpret_cast<uintptr_t>(&self));
    ASSERT_TRUE(Eventually([&] { return self.nTicks.load() >= 2; }));
    EXPECT_TRUE(self.bSelfKillRefused.load());
    EXPECT_TRUE(PlatformTimerKillEvent(uSelf));
}

TEST(LinuxTimer, ACallbackIdleUntilALaterTimeIsNextCalledOnTheFirstDeadlineThatReadsIt) {
    Idler idler;
    const uint32_t uId = TimerSetEvent(1, IdleAfterFirstCall, reinterpret_cast<uintptr_t>(&idler));
    ASSERT_NE(uId, 0u);
    ASSERT_TRUE(Eventually([&] { return idler.nCalls.load() >= 2; }));
    TimerKillEvent(uId);
    // The calls in between were left out: the next one reads the time asked for (or later, when the
    // machine was slow), on a deadline a whole number of periods on, and none before it.
    EXPECT_GE(static_cast<int32_t>(idler.adwClock[1] - idler.dwIdleUntil), 0);
    EXPECT_GE(idler.aqwDeadline[1] / 1000000u, idler.aqwDeadline[0] / 1000000u + 29);
    EXPECT_EQ((idler.aqwDeadline[1] - idler.aqwDeadline[0]) % 1000000u, 0u);
    // Outside a callback it changes nothing.
    PlatformTimerIdleUntil(PlatformMilliseconds() + 1000);
}

TEST(LinuxMidiOut, OpensWithoutAnAudioDeviceButNotWithoutASoundfont) {
    const char* const apszNone[] = {"/nonexistent/none.sf2", nullptr};
    LinuxMidiOut none(apszNone);
    EXPECT_EQ(none.Open(), MIDIOUT_ERR_NO_SOUNDFONT);

    // No such audio driver: the synthesizer plays into the silent sink, and its voices still die away.
    setenv("SDL_AUDIODRIVER", "lumivorra-none", 1);
    ClearTrace();
    SetTraceSink(CaptureTrace);
    LinuxMidiOut output;
    EXPECT_EQ(output.Open(), MIDIOUT_OK);
    EXPECT_TRUE(Eventually([] { return Traced("LinuxMidiOut: no audio device"); }));
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_FALSE(output.HasAudioDevice());
    const uint8_t aReset[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    output.LongMsg(aReset, sizeof(aReset));
    output.ShortMsg(0x643C90);
    output.ShortMsg(0x003C80);
    EXPECT_TRUE(Eventually([&] { return output.ActiveVoices() == 0; })) << "the sink renders nothing";
    output.Reset();
    output.Close();
    output.Close();
    SetTraceSink(nullptr);
}

TEST(LinuxMidiOut, AFrozenServerHoldsNeitherTheOpenNorTheClose) {
    ClearTrace();
    SetTraceSink(CaptureTrace);
    {
        FrozenServer server;
        // Closed while the server is still being waited for.
        LinuxMidiOut early;
        EXPECT_EQ(early.Open(), MIDIOUT_OK);
        early.ShortMsg(0x643C90);
        early.Reset();
        early.Close();

        // Left waiting until it gives the server up: the music goes on into the silent sink.
        LinuxMidiOut output;
        EXPECT_EQ(output.Open(), MIDIOUT_OK);
        EXPECT_TRUE(Eventually([] { return Traced("LinuxMidiOut: the sound server does not answer"); }));
        EXPECT_FALSE(output.HasAudioDevice());
        output.ShortMsg(0x643C90);
        output.ShortMsg(0x003C80);
        EXPECT_TRUE(Eventually([&] { return output.ActiveVoices() == 0; })) << "the sink renders nothing";
        output.Reset();
        output.Close();
    }
    SetTraceSink(nullptr);
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

#include "TestItems.h"
#include "music/SMusic.h"
#include "music/SmfTestData.h"
#include "platform/Clock.h"
#include "platform/headless/Headless.h"
#include "platform/headless/MidiOut.h"
#include "resources/BuiltinResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

Bytes Track(Bytes events, bool bEnd = true) {
    if (bEnd) {
        events.insert(events.end(), kEnd.begin(), kEnd.end());
    }
    return events;
}

// A player of a song made in the test, playing from simulated clock 0 into a recorder.
struct Player {
    HeadlessMidiOut output;
    SMusic music{&output};

    explicit Player(const Bytes& smf) {
        SetTestItem("TEST_ITEM", smf);
        music.Load("TEST_ITEM", LOAD_RESOURCE, nullptr);
        HeadlessSetTickCount(0);
        music.Play();
        output.TakeEvents();
    }

    // One millisecond: what the tick sent, as "90 3c 64" or "f0 7e ... f7", joined by ",".
    std::string Tick() {
        HeadlessStepTimers(1);
        std::string text;
        for (const MidiEvent& event : output.TakeEvents()) {
            Bytes bytes = event.bytes;
            if (event.kind == MidiEvent::SHORT) {
                bytes = {static_cast<uint8_t>(event.dwMsg), static_cast<uint8_t>(event.dwMsg >> 8),
                         static_cast<uint8_t>(event.dwMsg >> 16)};
                EXPECT_EQ(event.dwMsg >> 24, 0u);
            }
            text += text.empty() ? "" : ",";
            for (size_t i = 0; i < bytes.size(); ++i) {
                char sz[4];
                std::snprintf(sz, sizeof(sz), i == 0 ? "%02x" : " %02x", bytes[i]);
                text += sz;
            }
        }
        return text;
    }

    // Ticks until the clock reads dwClock and returns what went out at each tick, one per line.
    std::string TickTo(uint32_t dwClock) {
        std::string text;
        while (PlatformMilliseconds() < dwClock) {
            const std::string sent = Tick();
            if (!sent.empty()) {
                text += std::to_string(PlatformMilliseconds()) + ":" + sent + "\n";
            }
        }
        return text;
    }
};

} // namespace

TEST(SMusicTick, EventsAreDueOnlyOnceTheSongTickIsGreaterAndThePassLoops) {
    // A time base of 1000 at the rewind tempo makes the song tick equal the milliseconds elapsed.
    Player player(MakeSmf(1000, {Track({0x00, 0x90, 0x3C, 0x64, 0x02, 0x80, 0x3C, 0x00})}));
    EXPECT_EQ(player.Tick(), "90 3c 64"); // 1 > 0
    EXPECT_EQ(player.Tick(), "");         // 2 is not greater than 2
    EXPECT_EQ(player.Tick(), "80 3c 00");
    EXPECT_EQ(player.Tick(), ""); // end of track
    EXPECT_EQ(player.music.m_pTracks[0].active, 0);
    player.music.m_nTempo = 123;
    EXPECT_EQ(player.Tick(), ""); // no track active: the loop, with nothing sent
    EXPECT_EQ(player.music.m_nLoopCount, 1);
    EXPECT_EQ(player.music.m_nTempo, 1000000);
    EXPECT_EQ(player.music.m_pTracks[0].active, 1);
    EXPECT_EQ(player.music.m_dwStartTime, 5u);
    EXPECT_EQ(player.Tick(), "90 3c 64");
}

TEST(SMusicTick, RunningStatusAndChordsGoOutOneEventPerTick) {
    // At time base 480 the first event is due at 1 ms (0.48 > 0).
    Player player(MakeSmf(
        480, {Track({0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64, 0x00, 0xC0, 0x05, 0x00, 0xE1, 0x00, 0x40})}));
    EXPECT_EQ(player.TickTo(5), "1:90 3c 64\n2:90 3e 64\n3:c0 05 00\n4:e1 00 40\n");
}

TEST(SMusicTick, TempoRescalesTheWholeElapsedTimeAtOnce) {
    // Track 0 sets 500000 at tick 959 (1998 ms at the rewind tempo); track 1's notes at ticks 1000, 1500
    // and 1900 are then all overdue (song tick 1918) and go out one per tick, the first in the same tick.
    // Track 0's end of track at 1999 ms ends that tick before track 1 is visited.
    const Bytes tempo = Track({0x87, 0x3F, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    const Bytes notes =
        Track({0x87, 0x68, 0x90, 0x3C, 0x64, 0x83, 0x74, 0x90, 0x3E, 0x64, 0x83, 0x10, 0x90, 0x40, 0x64});
    {
        Player player(MakeSmf(480, {tempo, notes}));
        EXPECT_EQ(player.TickTo(2002), "1998:90 3c 64\n2000:90 3e 64\n2001:90 40 64\n");
        EXPECT_EQ(player.music.m_nTempo, 500000);
    }

    // 0C 35 00 is 800000. A tempo without data bytes (0) would make everything due at once, and one that
    // wraps negative would stop the song: both are ignored, so the note still waits for 4 ms.
    Player other(MakeSmf(480, {Track({0x00, 0xFF, 0x51, 0x03, 0x0C, 0x35, 0x00, 0x00, 0xFF, 0x51, 0x00, 0x00,
                                      0xFF, 0x51, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x3C, 0x64})}));
    EXPECT_EQ(other.TickTo(5), "4:90 3c 64\n");
    EXPECT_EQ(other.music.m_nTempo, 800000);
}

TEST(SMusicTick, EndOfTrackEndsTheWholeTick) {
    Player player(MakeSmf(1000, {Track({0x00, 0x90, 0x30, 0x64, 0x10, 0x80, 0x30, 0x00}), Track({}),
                                 Track({0x00, 0x90, 0x32, 0x64}), Track({0x00, 0x90, 0x33, 0x64})}));
    EXPECT_EQ(player.Tick(), "90 30 64"); // track 1 ends here; tracks 2 and 3 wait
    EXPECT_EQ(player.Tick(), "90 32 64,90 33 64");
}

TEST(SMusicTick, SystemExclusiveGoesOutWholeAndZeroTracksLoopEveryTick) {
    {
        Player player(MakeSmf(480, {Track({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})}));
        EXPECT_EQ(player.Tick(), "f0 7e 7f 09 01 f7");
        EXPECT_EQ(player.music.m_pTracks[0].runningStatus, 0xF0);
    }

    Player empty(MakeSmf(480, {}));
    EXPECT_EQ(empty.TickTo(3), "");
    EXPECT_EQ(empty.music.m_nLoopCount, 3);
}

TEST(SMusicTick, DamagedTracksEndWhereTheirDataEnds) {
    // Each track is held in a block of exactly its length, so the sanitizers see any read past it.
    struct Case {
        const char* pszWhat;
        Bytes track;
        const char* pszSent;
    };
    const Case cases[] = {
        {"no end of track", {0x00, 0x90, 0x3C, 0x64}, "1:90 3c 64\n"},
        {"event cut off", {0x00, 0x90, 0x3C}, ""},
        {"delta cut off", {0x00, 0x90, 0x3C, 0x64, 0x81}, "1:90 3c 64\n"},
        {"empty track", {}, ""},
        {"delta only", {0x00}, ""},
        {"system exclusive longer than the track", {0x00, 0xF0, 0x7F, 0x01}, ""},
        {"meta event longer than the track", {0x00, 0xFF, 0x01, 0x7F, 0x41}, ""},
        {"meta event without its type", {0x00, 0xFF}, ""},
        {"escape skipped by its count",
         {0x00, 0xF7, 0x02, 0x90, 0x3C, 0x00, 0x90, 0x3E, 0x64},
         "2:90 3e 64\n"},
        {"data byte before any status", {0x00, 0x01, 0x90, 0x3E, 0x64}, "2:90 3e 64\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        Player player(MakeSmf(1000, {c.track}));
        std::string sent;
        for (int i = 0; i < 5 && player.music.m_nLoopCount == 0; ++i) {
            sent += player.TickTo(PlatformMilliseconds() + 1);
        }
        EXPECT_EQ(sent, c.pszSent);
        EXPECT_EQ(player.music.m_nLoopCount, 1);
    }
}

TEST(SMusicLifecycle, StopKillsTheTickAndOnlyReleaseSilencesTheOutput) {
    const size_t nTimers = HeadlessLiveTimers();
    {
        Player player(MakeSmf(1000, {Track({0x00, 0x90, 0x3C, 0x64, 0x05, 0x80, 0x3C, 0x00})}));
        EXPECT_EQ(HeadlessLiveTimers(), nTimers + 1);
        EXPECT_EQ(player.Tick(), "90 3c 64");
        player.music.Stop();
        player.music.Stop();
        EXPECT_EQ(player.music.m_nTimerId, 0u);
        EXPECT_EQ(player.TickTo(20), ""); // no tick after the kill, and nothing sent at the stop
        EXPECT_NE(player.music.m_hMidiOut, nullptr);

        player.music.Release();
        const std::vector<MidiEvent> events = player.output.TakeEvents();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].kind, MidiEvent::RESET);
        EXPECT_EQ(events[1].kind, MidiEvent::CLOSE);
        EXPECT_EQ(player.music.m_pTracks, nullptr);
        EXPECT_EQ(player.music.m_hMidiOut, nullptr);
        EXPECT_EQ(player.music.m_wTracks, 0);
        player.music.Release();
        EXPECT_TRUE(player.output.TakeEvents().empty());

        // Play with nothing loaded starts nothing and raises nothing.
        player.music.Play();
        EXPECT_EQ(HeadlessLiveTimers(), nTimers);
    }
    {
        // Deleting a playing player kills its timer before it resets and closes the output.
        Player player(MakeSmf(1000, {Track({0x00, 0x90, 0x3C, 0x64})}));
    }
    EXPECT_EQ(HeadlessLiveTimers(), nTimers);
}

namespace {

// Every message the player sends over dwMs of simulated time, with the clock at each. bEveryMs: the tick
// runs every millisecond by hand; otherwise the timer runs it and may leave out the idle ones, whose
// number comes back in *pnTicks.
std::string Transcript(const char* pszItem, uint32_t dwMs, bool bEveryMs, uint32_t* pnTicks = nullptr) {
    HeadlessSetTickCount(1000);
    HeadlessMidiOut output;
    SMusic music(&output);
    music.Load(pszItem, LOAD_RESOURCE, nullptr);
    music.Play();
    uint32_t nTicks = 0;
    for (uint32_t ms = 0; ms < dwMs; ++ms) {
        const uint32_t dwElapsed = music.m_dwElapsed;
        const int32_t nLoops = music.m_nLoopCount;
        if (bEveryMs) {
            HeadlessAdvanceTickCount(1);
            music.OnTimer();
        } else {
            HeadlessStepTimers(1);
        }
        nTicks += music.m_dwElapsed != dwElapsed || music.m_nLoopCount != nLoops;
    }
    music.Stop();
    std::string text;
    for (const MidiEvent& event : output.TakeEvents()) {
        text += std::to_string(event.dwTime) + ":" + std::to_string(event.dwMsg) + ":" +
                std::to_string(event.bytes.size()) + "\n";
    }
    if (pnTicks != nullptr) {
        *pnTicks = nTicks;
    }
    return text;
}

} // namespace

TEST(SMusicTick, TheTimerLeavesOutIdleTicksAndTheOthersSendExactlyWhatEveryTickWould) {
    // Tempo events on two tracks (one rescaling the other's time mid-pass), a chord in running status,
    // long rests, a system-exclusive message and short passes that loop.
    SetTestItem("TEST_ITEM2",
                MakeSmf(96, {Track({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x83, 0x00, 0xFF, 0x51, 0x03,
                                    0x0C, 0x35, 0x00, 0x81, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}),
                             Track({0x10, 0x90, 0x3C, 0x64, 0x00, 0x40, 0x64, 0x00, 0x43, 0x64, 0x87, 0x00,
                                    0x80, 0x3C, 0x00, 0x00, 0x40, 0x00, 0x05, 0xF0, 0x03, 0x7E, 0x01, 0xF7}),
                             Track({0x8F, 0x00, 0xC1, 0x13, 0x01, 0xB1, 0x40, 0x7F})}));
    uint32_t nTicks = 0;
    const std::string everyMs = Transcript("TEST_ITEM2", 30000, true);
    EXPECT_EQ(Transcript("TEST_ITEM2", 30000, false, &nTicks), everyMs);
    EXPECT_GT(std::count(everyMs.begin(), everyMs.end(), '\n'), 30) << "the song should loop several times";
    EXPECT_LT(nTicks, 30000u / 4) << "idle ticks were not left out";

    // Ten minutes of the built-in song: every pass, and the loop points.
    RegisterBuiltinResources();
    const std::string builtin = Transcript("ID_MIDI", 600000, true);
    EXPECT_EQ(Transcript("ID_MIDI", 600000, false, &nTicks), builtin);
    EXPECT_LT(nTicks, 600000u / 10) << "idle ticks were not left out";
}

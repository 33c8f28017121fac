#include "TestItems.h"
#include "TraceCapture.h"
#include "framework/Debug.h"
#include "framework/SString.h"
#include "music/SMusic.h"
#include "music/SmfTestData.h"
#include "platform/headless/MidiOut.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>

namespace {

// Loads the bytes as a built-in item (or a file) and returns the error's text, "" on success.
std::string LoadError(SMusic& music, const Bytes& bytes, int32_t dwLoadType = LOAD_RESOURCE) {
    TempFile file(bytes);
    SetTestItem("TEST_ITEM", bytes);
    try {
        music.Load(dwLoadType == LOAD_FILE ? file.Path() : "TEST_ITEM", dwLoadType, nullptr);
    } catch (const SString& error) {
        return error.Text();
    }
    return "";
}

void ExpectEmptyAndClosed(const SMusic& music, HeadlessMidiOut& output) {
    EXPECT_EQ(music.m_pTracks, nullptr);
    EXPECT_EQ(music.m_hMidiOut, nullptr);
    EXPECT_EQ(music.m_wTracks, 0);
    EXPECT_EQ(music.m_dwHeaderSize, 0u);
    const std::vector<MidiEvent> events = output.TakeEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, MidiEvent::OPEN);
    EXPECT_EQ(events[1].kind, MidiEvent::RESET);
    EXPECT_EQ(events[2].kind, MidiEvent::CLOSE);
}

} // namespace

TEST(SMusicLoad, KeepsTheHeaderAndACopyOfEveryTrack) {
    const Bytes first = {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes second = {0x00, 0xFF, 0x2F, 0x00};
    HeadlessMidiOut output;
    SMusic music(&output);
    SetTraceSink(CaptureTrace);
    ClearTrace();
    // From a file: the input buffer is gone once Load returns (the leak checker would see it).
    EXPECT_EQ(LoadError(music, MakeSmf(480, {first, second}), LOAD_FILE), "");
    SetTraceSink(nullptr);
    EXPECT_TRUE(Traced("SMusic: MIDI device open.\nSMusic: \""));
    EXPECT_TRUE(Traced("\" Loading...\nSMusic: Format=1 TimeBase=480 Tracks=2\nSMusic: Load success!\n"));
    EXPECT_EQ(std::memcmp(&music.m_dwHeaderId, "MThd", 4), 0);
    EXPECT_EQ(music.m_dwHeaderSize, 6u);
    ASSERT_EQ(music.m_wTracks, 2);
    EXPECT_EQ(music.m_pTracks[0].length, first.size());
    EXPECT_EQ(Bytes(music.m_pTracks[0].data, music.m_pTracks[0].data + first.size()), first);
    EXPECT_EQ(music.m_pTracks[1].active, 1);
    EXPECT_EQ(music.m_hMidiOut, &output);

    // LoadSmf again replaces the song (the old buffers are freed) and leaves the output open.
    SetTestItem("TEST_ITEM", MakeSmf(96, {second}, 6, 0));
    music.LoadSmf("TEST_ITEM", LOAD_RESOURCE, nullptr);
    EXPECT_EQ(music.m_wTracks, 1);
    EXPECT_EQ(music.m_wTimeBase, 96);
    EXPECT_EQ(music.m_hMidiOut, &output);
}

TEST(SMusicLoad, ChunkTypesAreNotLookedAtAndLongerHeadersAreSkipped) {
    Bytes smf = MakeSmf(480, {{0x00, 0xFF, 0x2F, 0x00}}, 8);
    std::memcpy(smf.data(), "RIFF", 4);
    std::memcpy(smf.data() + 16, "JUNK", 4); // the track chunk's type, after 8 + 8 header bytes
    smf.push_back(0x55);                     // bytes after the last track are ignored
    HeadlessMidiOut output;
    SMusic music(&output);
    EXPECT_EQ(LoadError(music, smf), "");
    EXPECT_EQ(std::memcmp(&music.m_dwHeaderId, "RIFF", 4), 0);
    ASSERT_EQ(music.m_wTracks, 1);
    EXPECT_EQ(music.m_pTracks[0].length, 4u);
    EXPECT_EQ(music.m_pTracks[0].data[1], 0xFF);
}

TEST(SMusicLoad, FailuresReleaseThePlayerWithTheirMessage) {
    const Bytes good = MakeSmf(480, {{0x00, 0xFF, 0x2F, 0x00}});
    auto cut = [&good](size_t n) {
        return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    };
    Bytes shortHeader = good;
    shortHeader[7] = 4;
    Bytes hugeHeader = good;
    hugeHeader[4] = 0xFF;
    const struct {
        Bytes bytes;
        int32_t dwLoadType;
        std::string message;
    } cases[] = {
        {good, 3, "dwLoadTypeが不正です。dwLoadType=3\n"},
        {good, 255, "dwLoadTypeが不正です。dwLoadType=ff\n"},
        {{}, LOAD_RESOURCE, "TEST_ITEMのMIDIデータが途中で終わっています。\n"},
        {cut(7), LOAD_RESOURCE, "TEST_ITEMのMIDIデータが途中で終わっています。\n"},
        {cut(13), LOAD_RESOURCE, "TEST_ITEMのMIDIデータが途中で終わっています。\n"},
        {hugeHeader, LOAD_RESOURCE, "TEST_ITEMのMIDIデータが途中で終わっています。\n"},
        {shortHeader, LOAD_RESOURCE, "m_dwHeaderSizeが不正です。m_dwHeaderSize=4\n"},
        {cut(20), LOAD_RESOURCE, "TEST_ITEMのMIDIデータが途中で終わっています。\n"},
        {cut(good.size() - 1), LOAD_RESOURCE, "TEST_ITEMのMIDIデータが途中で終わっています。\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        HeadlessMidiOut output;
        SMusic music(&output);
        EXPECT_EQ(LoadError(music, c.bytes, c.dwLoadType), c.message);
        ExpectEmptyAndClosed(music, output);
        music.Play(); // an empty player plays nothing
        EXPECT_EQ(music.m_nTimerId, 0u);
    }

    HeadlessMidiOut output;
    SMusic music(&output);
    try {
        music.Load("/nonexistent/song.mid", LOAD_FILE, nullptr);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const SString& error) {
        EXPECT_STREQ(error.Text(), "/nonexistent/song.midをオープンできませんでした。\n");
    }
    ExpectEmptyAndClosed(music, output);

    // An output that cannot be opened fails Load before anything is read.
    output.m_nOpenResult = MIDIOUT_ERR_NO_SOUNDFONT;
    EXPECT_EQ(LoadError(music, good), "midiOutOpen()でエラーが発生しました。\n返値:2\n");
    EXPECT_EQ(music.m_hMidiOut, nullptr);
    EXPECT_EQ(music.m_pTracks, nullptr);
}

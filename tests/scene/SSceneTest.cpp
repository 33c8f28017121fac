// The scene built from the settings, run by the framework in a headless window: what it makes, what it
// presents (the fade-out, none in preview), its music's start and stop, and its release after failures.
#include "scene/SScene.h"
#include "config/DialogTemplates.h"
#include "config/Settings.h"
#include "framework/Memory.h"
#include "framework/SString.h"
#include "platform/headless/DialogHost.h"
#include "platform/headless/Display.h"
#include "platform/headless/Headless.h"
#include "platform/headless/MidiOut.h"
#include "platform/headless/SettingsStore.h"
#include "platform/headless/Window.h"
#include "resources/BuiltinResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
// The durations come with <thread>: <chrono> itself spells a suffix in a character that code page 932
// lacks, so it does not compile in the Windows build.
#include <cstdio>
#include <string>
#include <thread>

namespace {

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterBuiltinResources();
        HeadlessResetWindows();
        HeadlessResetDisplay();
        HeadlessClearDebugText();
        m_settings = DefaultSettings();
    }
    void TearDown() override { HeadlessSetPresentSink(nullptr); }

    SScene* Make() {
        WriteSettings(m_store, m_settings);
        return NewObject<SScene>(m_store, &m_dialogs, &m_midi);
    }

    // Runs the scene until nFrames frames were presented, then closes it; the render thread waits at that
    // frame until the stop is asked for, so every later present belongs to the fade-out.
    std::vector<PresentedFrame> RunFrames(SScene& scene, int nFrames) {
        std::vector<PresentedFrame> shown;
        HeadlessSetPresentSink([&](const PresentedFrame& frame) {
            shown.push_back(frame);
            if (static_cast<int>(shown.size()) == nFrames) {
                PlatformPostMessage(scene.m_hWindow, WMSG_CLOSE, 0, 0);
                while (scene.m_bStop.load() == 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
        scene.Run();
        HeadlessSetPresentSink(nullptr);
        return shown;
    }

    static bool AllBlack(const PresentedFrame& frame) {
        return std::all_of(frame.bytes.begin(), frame.bytes.end(), [](uint8_t b) { return b == 0; });
    }

    Settings m_settings{};
    MemoryStore m_store;
    FakeDialogHost m_dialogs;
    HeadlessMidiOut m_midi;
};

TEST_F(SceneTest, FullScreenRunFadesOutOverThirtyTwoFlipsAndStopsTheMusic) {
    SScene* pScene = Make();
    pScene->CreateMainWindow(nullptr, 1, 320, 240);
    EXPECT_EQ(pScene->m_pDigit[0], nullptr); // the counter is off by default
    EXPECT_EQ(pScene->m_nBumpFactor, 5);
    const std::vector<PresentedFrame> shown = RunFrames(*pScene, 3);
    ASSERT_EQ(shown.size(), 3u + 32u);
    EXPECT_TRUE(shown[0].bFlip);
    EXPECT_FALSE(AllBlack(shown[2]));
    EXPECT_FALSE(AllBlack(shown[3 + 30]));
    EXPECT_TRUE(AllBlack(shown[3 + 31]));
    EXPECT_EQ(pScene->m_pDisplay, nullptr); // released by the close
    EXPECT_EQ(HeadlessLiveDisplayObjects(), 0);
    EXPECT_EQ(HeadlessLiveTimers(), 0u);
    DeleteObject(pScene);
    const std::vector<MidiEvent> events = m_midi.TakeEvents();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().kind, MidiEvent::OPEN);
    EXPECT_EQ(events.back().kind, MidiEvent::CLOSE);
}

TEST_F(SceneTest, PreviewHasNoFadeAndNoSongLeavesTheMusicDeviceAlone) {
    m_settings.BGMMode = 2;
    SScene* pScene = Make();
    pScene->CreatePreviewWindow(nullptr, HeadlessCreateHostWindow(152, 112));
    const std::vector<PresentedFrame> shown = RunFrames(*pScene, 4);
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].nDestWidth, 152);
    EXPECT_EQ(shown[0].nDestHeight, 112);
    DeleteObject(pScene);
    EXPECT_TRUE(m_midi.TakeEvents().empty());
}

TEST_F(SceneTest, TheCounterDigitsAreBuiltOnlyWhenShownAndAnUnknownMapModeIsFlat) {
    m_settings.ShowFPS = 1;
    m_settings.HeightMapMode = 7;
    m_settings.BumpFactor = 8;
    SScene* pScene = Make();
    pScene->CreateMainWindow(nullptr, 2, 320, 240);
    const int32_t widths[10] = {12, 10, 12, 12, 14, 13, 13, 11, 13, 13};
    for (int d = 0; d < 10; ++d) {
        ASSERT_NE(pScene->m_pDigit[d], nullptr);
        EXPECT_EQ(pScene->m_pDigit[d]->width, widths[d]);
    }
    EXPECT_EQ(pScene->m_nBumpFactor, 8);
    const SImage& map = *pScene->m_pHeightMap;
    EXPECT_TRUE(std::all_of(map.pixels, map.pixels + 320 * 240, [](uint32_t p) { return p == 0; }));
    DeleteObject(pScene);
}

TEST_F(SceneTest, AFailedBuildIsReleasedByTheDestructor) {
    m_settings.HeightMapMode = 0;
    std::snprintf(m_settings.HeightMapFile, sizeof(m_settings.HeightMapFile), "/nonexistent/map.bmp");
    SScene* pScene = Make();
    try {
        pScene->CreateMainWindow(nullptr, 1, 320, 240);
        ADD_FAILURE() << "the missing map was loaded";
    } catch (const SString& error) {
        EXPECT_STREQ(error.Text(), "/nonexistent/map.bmpをオープンできませんでした。\n");
    }
    // The display, frame and swarm made before the failure stay stored until the destructor.
    EXPECT_NE(pScene->m_pSwarm, nullptr);
    EXPECT_EQ(HeadlessLiveDisplayObjects(), 2);
    DeleteObject(pScene);
    EXPECT_EQ(HeadlessLiveDisplayObjects(), 0);
    EXPECT_EQ(HeadlessDisplayLog().front(), "DirectDrawCreate");
    EXPECT_EQ(HeadlessDisplayLog()[HeadlessDisplayLog().size() - 4], "RestoreDisplayMode");
}

TEST_F(SceneTest, ConfigureRunsTheSettingsDialogAndStoresItsResult) {
    SScene* pScene = Make();
    m_dialogs.m_pfnUser = [](FakeDialogHost& host) {
        host.Type(IDC_NUMS, "123");
        host.Click(DLG_ID_OK);
    };
    pScene->Start(nullptr, "/c");
    DeleteObject(pScene);
    Settings stored;
    ReadSettings(m_store, &stored, READER_SCENE);
    EXPECT_EQ(stored.Nums, 123u);
    EXPECT_EQ(HeadlessLiveDisplayObjects(), 0); // nothing of the scene is built in configure mode

    SScene scene(m_store, nullptr);
    EXPECT_THROW(scene.OnConfig(), SString);
}

} // namespace

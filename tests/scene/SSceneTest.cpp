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
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

TEST_F(SceneTest, CommandLineSettingsReplaceTheStoredOnesWithoutTouchingTheStore) {
    m_settings.Nums = 12;
    m_settings.BumpFactor = 3;
    SScene* pScene = Make();
    SettingsOverride override{};
    override.dwFields = OVERRIDE_NUMS | OVERRIDE_HEIGHTMAP | OVERRIDE_BGM;
    override.values.Nums = 0;
    override.values.HeightMapMode = HEIGHTMAP_FLAT;
    override.values.BGMMode = BGM_NONE;
    pScene->OverrideSettings(override);
    m_store.m_log.clear();
    pScene->CreateMainWindow(nullptr, 2, 320, 240);
    EXPECT_EQ(pScene->m_pSwarm->count, 0);
    EXPECT_EQ(pScene->m_nBumpFactor, 3); // not overridden: the stored value
    const SImage& map = *pScene->m_pHeightMap;
    EXPECT_TRUE(std::all_of(map.pixels, map.pixels + 320 * 240, [](uint32_t p) { return p == 0; }));
    RunFrames(*pScene, 2);
    DeleteObject(pScene);
    EXPECT_TRUE(m_midi.TakeEvents().empty());
    // Nothing but reads reached the store.
    for (const std::string& call : m_store.m_log) {
        EXPECT_TRUE(call.rfind("open ", 0) == 0 || call.rfind("query ", 0) == 0 ||
                    call.rfind("close ", 0) == 0)
            << call;
    }
    Settings stored;
    ReadSettings(m_store, &stored, READER_DIALOG);
    EXPECT_EQ(stored.Nums, 12u);
    EXPECT_EQ(stored.HeightMapMode, 1u);
    EXPECT_EQ(stored.BGMMode, 1u);
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

// One frame through the scene's own OnFrame, in a window (the 32-bit frame is what is shown), with the
// ball placed by the test.
class SceneFrameTest : public SceneTest {
protected:
    SScene* MakeWindowed() {
        SScene* pScene = Make();
        pScene->CreateMainWindow(nullptr, 2, 320, 240);
        HeadlessSetPresentSink([this](const PresentedFrame& frame) { m_shown = frame; });
        return pScene;
    }
    // One OnFrame with the only ball held still at (x, y); the frame it showed, as pixels.
    std::vector<uint32_t> FrameWithBallAt(SScene& scene, float x, float y) {
        scene.m_pSwarm->balls[0] = {x, y, 0.0f, 0.0f, 0};
        scene.OnFrame();
        std::vector<uint32_t> pixels(320 * 240);
        for (int32_t row = 0; row < 240; ++row) {
            std::memcpy(&pixels[row * 320], &m_shown.bytes[row * m_shown.lPitch], 320 * 4);
        }
        return pixels;
    }
    // Adds an image into the frame at (nLeft, 10) byte by byte with saturation; returns the bytes that
    // saturated.
    static int AddAt(std::vector<uint32_t>& frame, const SImage& image, int32_t nLeft) {
        int nSaturated = 0;
        for (int32_t y = 0; y < image.height; ++y) {
            for (int32_t x = 0; x < image.width; ++x) {
                uint32_t& pixel = frame[(10 + y) * 320 + nLeft + x];
                const uint32_t add = image.pixels[y * image.width + x];
                uint32_t sum = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const uint32_t byte = ((pixel >> shift) & 0xFF) + ((add >> shift) & 0xFF);
                    nSaturated += byte > 255 ? 1 : 0;
                    sum |= std::min(byte, 255u) << shift;
                }
                pixel = sum;
            }
        }
        return nSaturated;
    }
    PresentedFrame m_shown{};
};

TEST_F(SceneFrameTest, TheLightSitsOnTheSwarmsTruncatedCentrePlusTheHalfFrame) {
    m_settings.Nums = 1;
    m_settings.Color = 0; // the ball adds nothing: the frame is the light on the built-in map alone
    SScene* pScene = MakeWindowed();
    const auto litAt = [&](int32_t x, int32_t y) {
        SImage frame(320, 240);
        frame.BumpLight(*pScene->m_pHeightMap, x, y, *pScene->m_pLight, 5);
        return std::vector<uint32_t>(frame.pixels, frame.pixels + 320 * 240);
    };
    // A still ball is its own centre; it is truncated toward zero (-0.7 -> 0, 12.9 -> 12, -7.9 -> -7).
    struct Case {
        float x, y;
        int32_t nLightX, nLightY;
    };
    for (const Case& c :
         {Case{0.0f, 0.0f, 160, 120}, Case{-0.7f, 12.9f, 160, 132}, Case{-31.2f, -7.9f, 129, 113}}) {
        const std::vector<uint32_t> shown = FrameWithBallAt(*pScene, c.x, c.y);
        EXPECT_TRUE(shown == litAt(c.nLightX, c.nLightY)) << c.x << ", " << c.y;
        // Rounding to the nearest, or toward minus infinity, would have lit it elsewhere.
        EXPECT_FALSE(shown == litAt(c.nLightX - 1, c.nLightY + 1)) << c.x << ", " << c.y;
    }
    DeleteObject(pScene);
}

TEST_F(SceneFrameTest, TheCounterAddsTheRatesDigitsAtTenTenEachAdvancingByItsWidth) {
    m_settings.Nums = 1;
    m_settings.Color = 0x00C0C0C0;
    m_settings.ShowFPS = 1;
    m_settings.HeightMapMode = 7; // flat: the lighting leaves the frame as the ball drew it
    SScene* pScene = MakeWindowed();
    // A bright ball under the counter, so that adding with saturation and copying differ.
    pScene->m_bShowFPS = 0;
    const std::vector<uint32_t> under = FrameWithBallAt(*pScene, -130.0f, -95.0f);
    pScene->m_bShowFPS = 1;

    std::vector<uint32_t> expected = under;
    const int nSaturated = AddAt(expected, *pScene->m_pDigit[1], 10) +
                           AddAt(expected, *pScene->m_pDigit[2], 20) +
                           AddAt(expected, *pScene->m_pDigit[0], 32);
    EXPECT_GT(nSaturated, 0);
    pScene->m_nFps.store(120);
    EXPECT_TRUE(FrameWithBallAt(*pScene, -130.0f, -95.0f) == expected);

    // Before the first tick the latched rate is 0: one "0" at (10, 10), nothing after its 12 columns.
    expected = under;
    AddAt(expected, *pScene->m_pDigit[0], 10);
    pScene->m_nFps.store(0);
    EXPECT_TRUE(FrameWithBallAt(*pScene, -130.0f, -95.0f) == expected);
    DeleteObject(pScene);
}

TEST_F(SceneFrameTest, AStopAskedForDuringAFrameFinishesItUnlessAHugeSwarmIsCutShort) {
    m_settings.HeightMapMode = 7; // flat: only balls could make the frame anything but black
    // The default swarm: a stop set between the render loop's look and the frame still draws every ball.
    SScene* pScene = MakeWindowed();
    pScene->m_bStop.store(1);
    pScene->OnFrame();
    EXPECT_FALSE(AllBlack(m_shown));
    DeleteObject(pScene);

    // However many balls the user asked for, the frame that a close request interrupts draws no more, and
    // what it drew is neither lit nor shown: the fade starts from the last frame shown.
    m_settings.Nums = 5000;
    pScene = MakeWindowed();
    pScene->OnFrame();
    const PresentedFrame last = m_shown;
    ASSERT_FALSE(AllBlack(last));
    std::vector<PresentedFrame> shown;
    HeadlessSetPresentSink([&](const PresentedFrame& frame) { shown.push_back(frame); });
    pScene->m_bStop.store(1);
    pScene->OnFrame();
    EXPECT_TRUE(shown.empty());
    pScene->OnThreadEnd();
    ASSERT_EQ(shown.size(), 32u);
    for (int32_t row = 0; row < 240; ++row) {
        for (int32_t i = 0; i < 320 * 4; ++i) {
            const uint8_t before = last.bytes[static_cast<size_t>(row * last.lPitch + i)];
            ASSERT_EQ(shown[0].bytes[static_cast<size_t>(row * shown[0].lPitch + i)],
                      before < 8 ? 0 : before - 8)
                << row << ", " << i;
        }
    }
    DeleteObject(pScene);
}

} // namespace

// How a run of the scene ends, under the conditions a screen saver meets unattended: every way of ending
// leaves no note sounding, and many runs closed at random moments with the music ticking on its own
// thread leave no timer, no tick after the music stopped, and (under the sanitizers) no race or leak.
#include "config/Settings.h"
#include "framework/EntryPoint.h"
#include "framework/Memory.h"
#include "framework/Random.h"
#include "framework/SString.h"
#include "platform/headless/Display.h"
#include "platform/headless/Headless.h"
#include "platform/headless/MidiOut.h"
#include "platform/headless/SettingsStore.h"
#include "platform/headless/Window.h"
#include "resources/BuiltinResources.h"
#include "scene/SScene.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>

namespace {

// Counts what the music sends after its Stop has returned: a tick that should not have run.
class WatchedOutput : public HeadlessMidiOut {
public:
    void ShortMsg(uint32_t dwMsg) noexcept override {
        if (m_bStopped.load()) {
            m_nAfterStop.fetch_add(1);
        }
        HeadlessMidiOut::ShortMsg(dwMsg);
    }
    std::atomic<bool> m_bStopped{false};
    std::atomic<int> m_nAfterStop{0};
};

enum class Ending { CloseRequest, HostDestroyed, RenderError, BuildError };

// The scene with the ways of ending a test needs: an error on the render thread after a few frames, an
// error at the end of the build (the song loaded), and the moment its music was stopped.
class TestScene : public SScene {
public:
    TestScene(SettingsStore& store, WatchedOutput& output)
        : SScene(store, nullptr, &output), m_output(output) {}
    ~TestScene() override { Shutdown(); }

    void OnCreate() override {
        SScene::OnCreate();
        if (m_bCloseAtCreate) {
            // Queued before the render thread starts: the loop's first message.
            PlatformPostMessage(m_hWindow, WMSG_CLOSE, 0, 0);
        }
        if (m_ending == Ending::BuildError) {
            throw SString("build failed\n");
        }
    }
    void OnFrame() override {
        SScene::OnFrame();
        if (m_ending == Ending::RenderError && ++m_nFrames == 3) {
            throw SString("render failed\n");
        }
    }
    void OnThreadEnd() override {
        SScene::OnThreadEnd();
        m_output.m_bStopped.store(true);
    }

    Ending m_ending = Ending::CloseRequest;
    bool m_bCloseAtCreate = false;
    int m_nFrames = 0;
    WatchedOutput& m_output;
};

// Steps the simulated clock, and with it the music timer, on a thread of its own while it lives.
class Ticker {
public:
    Ticker()
        : m_thread([this] {
              while (!m_bDone.load()) {
                  HeadlessStepTimers(1);
                  std::this_thread::yield();
              }
          }) {}
    ~Ticker() {
        m_bDone.store(true);
        m_thread.join();
    }

private:
    std::atomic<bool> m_bDone{false};
    std::thread m_thread;
};

// Replays the record: the notes sounding just before the first reset, and whether any note is still on
// when the output closes. A note ends by a note-off, a note-on of velocity 0, "all notes off" or "all
// sound off" on its channel, or a reset.
struct NoteState {
    int nOnBeforeReset = -1; // -1: no reset seen
    bool bSoundingAtClose = false;
    bool bClosed = false;
};

NoteState Replay(const std::vector<MidiEvent>& events) {
    bool on[16][128] = {};
    auto count = [&on] {
        int n = 0;
        for (auto& channel : on) {
            for (bool b : channel) {
                n += b ? 1 : 0;
            }
        }
        return n;
    };
    NoteState state;
    for (const MidiEvent& event : events) {
        if (event.kind == MidiEvent::SHORT) {
            const uint32_t status = event.dwMsg & 0xF0;
            const uint32_t channel = event.dwMsg & 0x0F;
            const uint32_t data1 = (event.dwMsg >> 8) & 0x7F;
            const uint32_t data2 = (event.dwMsg >> 16) & 0x7F;
            if (status == 0x90) {
                on[channel][data1] = data2 != 0;
            } else if (status == 0x80) {
                on[channel][data1] = false;
            } else if (status == 0xB0 && (data1 == 120 || data1 == 123)) {
                std::memset(on[channel], 0, sizeof(on[channel]));
            }
        } else if (event.kind == MidiEvent::RESET) {
            if (state.nOnBeforeReset < 0) {
                state.nOnBeforeReset = count();
            }
            std::memset(on, 0, sizeof(on));
        } else if (event.kind == MidiEvent::CLOSE) {
            state.bSoundingAtClose = state.bSoundingAtClose || count() != 0;
            state.bClosed = true;
        }
    }
    return state;
}

class SceneEndingTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterBuiltinResources();
        HeadlessResetWindows();
        HeadlessResetDisplay();
        Settings settings = DefaultSettings();
        settings.Nums = 8; // a small swarm: these tests are about the ends of runs, not the picture
        WriteSettings(m_store, settings);
        HeadlessSetTickCount(0);
    }
    void TearDown() override { HeadlessSetPresentSink(nullptr); }

    MemoryStore m_store;
};

// One run through the program's entry, with the scene made by it.
struct RunSetup {
    MemoryStore* pStore = nullptr;
    WatchedOutput* pOutput = nullptr;
    Ending ending = Ending::CloseRequest;
    bool bCloseAtCreate = false;
    TestScene* pScene = nullptr; // the scene of the run, while it lives
};

SFrmWork* MakeTestScene(void* pContext) {
    RunSetup& run = *static_cast<RunSetup*>(pContext);
    TestScene* pScene = NewObject<TestScene>(*run.pStore, *run.pOutput);
    pScene->m_ending = run.ending;
    pScene->m_bCloseAtCreate = run.bCloseAtCreate;
    run.pScene = pScene;
    return pScene;
}

std::string PreviewLine(WindowHandle hHost) {
    return "/p " + std::to_string(static_cast<intptr_t>(hHost));
}

TEST_F(SceneEndingTest, EveryWayTheRunEndsResetsTheMusicBeforeItsOutputCloses) {
    struct Case {
        const char* pszName;
        Ending ending;
        bool bPreview;
        int nExitCode;
    };
    const Case cases[] = {
        {"close request", Ending::CloseRequest, false, 1},
        {"close request in a preview", Ending::CloseRequest, true, 1},
        {"host window destroyed", Ending::HostDestroyed, true, 1},
        {"error on the render thread", Ending::RenderError, false, 0},
        {"error after the song was loaded", Ending::BuildError, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        HeadlessResetWindows();
        HeadlessSetTickCount(0);
        WatchedOutput output;
        RunSetup run{&m_store, &output, c.ending};
        const WindowHandle hHost = c.bPreview ? HeadlessCreateHostWindow(152, 112) : 0;
        int nFrames = 0;
        // Two seconds of the song play at the second frame, so that notes are sounding when the run ends.
        HeadlessSetPresentSink([&](const PresentedFrame&) {
            if (++nFrames != 2) {
                return;
            }
            HeadlessStepTimers(2000);
            if (c.ending == Ending::HostDestroyed) {
                HeadlessDestroyHostWindow(hHost);
            } else if (c.ending == Ending::CloseRequest) {
                PlatformPostMessage(run.pScene->m_hWindow, WMSG_CLOSE, 0, 0);
            }
        });
        const std::string line = c.bPreview ? PreviewLine(hHost) : "/s";
        EXPECT_EQ(ScreenSaverMain(nullptr, line.c_str(), MakeTestScene, &run), c.nExitCode);
        HeadlessSetPresentSink(nullptr);

        const NoteState state = Replay(output.TakeEvents());
        EXPECT_TRUE(state.bClosed);
        EXPECT_FALSE(state.bSoundingAtClose);
        if (c.ending == Ending::BuildError) {
            EXPECT_EQ(state.nOnBeforeReset, 0); // the song never started, and its output is still reset
        } else {
            EXPECT_GT(state.nOnBeforeReset, 0); // notes were sounding: the reset is what silenced them
        }
        EXPECT_EQ(output.m_nAfterStop.load(), 0);
        EXPECT_EQ(HeadlessLiveTimers(), 0u);
    }
}

// Runs closed at random moments: before the first frame, after a few frames, a second close in the
// middle of the fade-out, previews whose host goes away; the music timer ticks on its own thread all the
// time. ThreadSanitizer runs the full two hundred; the other builds fewer, as LeakSanitizer needs only
// some to see a leak of any one run.
TEST_F(SceneEndingTest, ManyRunsClosedAtRandomMomentsEndCleanlyWithTheMusicTicking) {
#if defined(__SANITIZE_THREAD__)
    constexpr int kRuns = 200;
#else
    constexpr int kRuns = 40;
#endif
    std::mt19937 random(9);
    Ticker ticker;
    for (int i = 0; i < kRuns; ++i) {
        HeadlessResetWindows();
        HeadlessResetDisplay();
        WatchedOutput output;
        RunSetup run{&m_store, &output, Ending::CloseRequest};
        const bool bPreview = random() % 3 == 0;
        const int nCloseAt = static_cast<int>(random() % 8); // 0: before the first frame
        const int nSecondCloseAt = random() % 2 == 0 ? nCloseAt + 1 + static_cast<int>(random() % 31) : -1;
        SCOPED_TRACE("run " + std::to_string(i) + (bPreview ? " preview" : " full screen") + " close at " +
                     std::to_string(nCloseAt) + " again at " + std::to_string(nSecondCloseAt));
        const WindowHandle hHost = bPreview ? HeadlessCreateHostWindow(152, 112) : 0;
        run.bCloseAtCreate = nCloseAt == 0;
        int nFrames = 0;
        std::mt19937 frameRandom(random());
        HeadlessSetPresentSink([&](const PresentedFrame&) {
            const int n = ++nFrames;
            if (n == nCloseAt || n == nSecondCloseAt) {
                if (bPreview && frameRandom() % 2 == 0) {
                    HeadlessDestroyHostWindow(hHost);
                } else {
                    PlatformPostMessage(run.pScene->m_hWindow, WMSG_CLOSE, 0, 0);
                }
            }
        });
        EXPECT_EQ(ScreenSaverMain(nullptr, (bPreview ? PreviewLine(hHost) : std::string("/s")).c_str(),
                                  MakeTestScene, &run),
                  1);
        HeadlessSetPresentSink(nullptr);
        const NoteState state = Replay(output.TakeEvents());
        EXPECT_TRUE(state.bClosed);
        EXPECT_FALSE(state.bSoundingAtClose);
        EXPECT_EQ(output.m_nAfterStop.load(), 0);
        // Only the ticker's own stepping remains: the frame-rate and music timers are gone.
        EXPECT_EQ(HeadlessLiveTimers(), 0u);
        EXPECT_EQ(HeadlessLiveDisplayObjects(), 0);
        if (HasFailure()) {
            break;
        }
    }
}

} // namespace

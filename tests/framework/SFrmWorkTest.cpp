// The framework's close rules, stop sequence, frame-rate latch and switch dispatch, on the headless
// window host: real render threads, a real message loop, the timer stepped by the test.
#include "TraceCapture.h"
#include "framework/Debug.h"
#include "framework/EntryPoint.h"
#include "framework/Memory.h"
#include "platform/headless/Display.h"
#include "platform/headless/Headless.h"
#include "platform/headless/Window.h"

#include <gtest/gtest.h>

// The durations come with <thread>: <chrono> itself spells a suffix in a character that code page 932
// lacks, so it does not compile in the Windows build.
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// What a test application saw; shared with the test so that it outlives the object.
struct Seen {
    std::atomic<int> nCreate{0}, nRelease{0}, nThreadStart{0}, nThreadEnd{0}, nFrames{0}, nConfig{0},
        nKeys{0};
    uint8_t bCreatedMode = 0;
    int32_t bCreatedScreenSaver = 0;
    int32_t nCreatedWidth = 0; // the client size at OnCreate: a preview's tells which host it is in
    std::vector<std::pair<int32_t, int32_t>> points; // x, y of every mouse hook called
};

class TestApp : public SFrmWork {
public:
    explicit TestApp(Seen& seen) : m_seen(seen) {}
    ~TestApp() override { Shutdown(); }

    void OnCreate() override {
        ++m_seen.nCreate;
        m_seen.bCreatedMode = bWinMode;
        m_seen.bCreatedScreenSaver = m_bScreenSaver;
        int32_t nHeight = 0;
        HeadlessWindowClientSize(m_hWindow, &m_seen.nCreatedWidth, &nHeight);
        if (m_bCloseAtOnce) {
            PlatformPostMessage(m_hWindow, WMSG_CLOSE, 0, 0);
        }
    }
    void OnRelease() override { ++m_seen.nRelease; }
    void OnThreadStart() override {
        ++m_seen.nThreadStart;
        if (m_bThrowAtStart) {
            throw SString("タイマーを作成できませんでした。\n");
        }
        // Holds the first frame back until a stop is asked for.
        while (m_bHoldFirstFrame && m_bStop.load() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void OnThreadEnd() override { ++m_seen.nThreadEnd; }
    void OnKeyDown(uintptr_t wParam, intptr_t lParam) override {
        ++m_seen.nKeys;
        SFrmWork::OnKeyDown(wParam, lParam);
    }
    void OnMouseMove(uintptr_t wParam, int32_t x, int32_t y) override {
        m_seen.points.emplace_back(x, y);
        SFrmWork::OnMouseMove(wParam, x, y);
    }
    void OnLButtonDown(uintptr_t wParam, int32_t x, int32_t y) override {
        m_seen.points.emplace_back(x, y);
        SFrmWork::OnLButtonDown(wParam, x, y);
    }
    void OnMButtonDown(uintptr_t wParam, int32_t x, int32_t y) override {
        m_seen.points.emplace_back(x, y);
        SFrmWork::OnMButtonDown(wParam, x, y);
    }
    void OnRButtonDown(uintptr_t wParam, int32_t x, int32_t y) override {
        m_seen.points.emplace_back(x, y);
        SFrmWork::OnRButtonDown(wParam, x, y);
    }
    void OnConfig() override { ++m_seen.nConfig; }
    void OnFrame() override {
        ++m_seen.nFrames;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (m_bThrowAtStop) {
            // From the third frame on, the frame is held until the stop is asked for (10 s at most), so that
            // it fails during the stop whatever the timing: a stop between two frames would not fail at all.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (m_seen.nFrames.load() >= 3 && m_bStop.load() == 0 &&
                   std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (m_bStop.load() != 0) {
                throw SString("描画に失敗しました。\n");
            }
        }
    }

    Seen& m_seen;
    bool m_bCloseAtOnce = false;
    bool m_bThrowAtStart = false;
    bool m_bHoldFirstFrame = false;
    bool m_bThrowAtStop = false; // fails the frame during which the stop is asked for
};

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

int QueuedCloses() {
    int n = 0;
    for (const WindowMsg& msg : HeadlessQueuedMessages()) {
        n += msg.uMsg == WMSG_CLOSE ? 1 : 0;
    }
    return n;
}

void WaitUntil(const std::atomic<int>& value, int nAtLeast) {
    while (value.load() < nAtLeast) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessResetWindows();
        HeadlessResetDisplay();
        HeadlessClearDebugText();
        HeadlessSetTickCount(0);
        g_nMouseMoves = 0;
        ClearTrace();
        SetTraceSink(CaptureTrace);
    }
    void TearDown() override { SetTraceSink(nullptr); }

    // The same input in every mode; returns the close requests it posted.
    static int SendInput(WindowProc pfnProc, WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam,
                         int nTimes = 1) {
        const int nBefore = QueuedCloses();
        for (int i = 0; i < nTimes; ++i) {
            pfnProc(hWnd, uMsg, wParam, 0x00280014);
        }
        return QueuedCloses() - nBefore;
    }
};

TEST_F(FrameworkTest, ScreenSaverClosesOnAnyKeyAnyButtonAndTheFifthMove) {
    Seen seen;
    TestApp app(seen);
    app.m_bScreenSaver = 1;
    app.CreateMainWindow(nullptr, 1, 320, 240);
    const WindowHandle hWnd = app.m_hWindow;
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_MOUSEMOVE, 0, 4), 0);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_MOUSEMOVE, 0), 1);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_MOUSEMOVE, 0), 1);
    EXPECT_EQ(g_nMouseMoves, 6);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_KEYDOWN, 'A'), 1);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_SYSKEYDOWN, 0x79), 0); // F10
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_SYSKEYDOWN, 0x12), 0); // Alt
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_LBUTTONDOWN, 1), 1);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_MBUTTONDOWN, 0x10), 1);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_RBUTTONDOWN, 2), 1);

    // After the stop sequence the same input posts nothing: the screen-saver flag is cleared.
    app.Shutdown();
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_KEYDOWN, 'A'), 0);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_MOUSEMOVE, 0, 3), 0);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_LBUTTONDOWN, 1), 0);
}

TEST_F(FrameworkTest, OutsideScreenSaverModeOnlyEscClosesAndPreviewIgnoresInput) {
    Seen seen;
    TestApp app(seen);
    app.CreateMainWindow(nullptr, 2, 320, 240);
    const WindowHandle hWnd = app.m_hWindow;
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_MOUSEMOVE, 0, 8), 0);
    EXPECT_EQ(g_nMouseMoves, 0);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_LBUTTONDOWN, 1), 0);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_KEYDOWN, 'A'), 0);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_SYSKEYDOWN, VKEY_ESCAPE), 0);
    EXPECT_EQ(SendInput(SFrmWork::MainWndProc, hWnd, WMSG_KEYDOWN, VKEY_ESCAPE), 1);

    Seen previewSeen;
    TestApp preview(previewSeen);
    preview.m_bScreenSaver = 1;
    preview.CreatePreviewWindow(nullptr, HeadlessCreateHostWindow(152, 112));
    EXPECT_EQ(preview.bWinMode, 3);
    for (uint32_t uMsg :
         {WMSG_KEYDOWN, WMSG_MOUSEMOVE, WMSG_LBUTTONDOWN, WMSG_MBUTTONDOWN, WMSG_RBUTTONDOWN}) {
        EXPECT_EQ(SendInput(SFrmWork::PreviewWndProc, preview.m_hWindow, uMsg, VKEY_ESCAPE, 5), 0);
    }
    EXPECT_EQ(previewSeen.nKeys.load(), 0);
}

TEST_F(FrameworkTest, StopBeforeTheFirstFrameRunsStartAndEndButNoFrame) {
    Seen seen;
    {
        TestApp app(seen);
        app.m_bHoldFirstFrame = true;
        app.m_bCloseAtOnce = true;
        app.CreateMainWindow(nullptr, 2, 320, 240);
        const WindowHandle hWnd = app.m_hWindow;
        EXPECT_EQ(app.Run(), 0);
        EXPECT_FALSE(HeadlessWindowAlive(hWnd));
        EXPECT_EQ(app.m_hThread, 0u);
        EXPECT_EQ(HeadlessLiveTimers(), 0u);
        // Shutdown again (by hand, then from the destructor) finds nothing left to stop.
        app.Shutdown();
    }
    EXPECT_EQ(seen.nThreadStart.load(), 1);
    EXPECT_EQ(seen.nFrames.load(), 0);
    EXPECT_EQ(seen.nThreadEnd.load(), 1);
    EXPECT_EQ(CountOf(CapturedTrace(), "SFrmWork: Start Thread.\n"), 1);
    EXPECT_EQ(CountOf(CapturedTrace(), "SFrmWork: Exit Thread.\n"), 1);
}

TEST_F(FrameworkTest, TheLatchReadsZeroUntilTheFirstSecondHasPassed) {
    Seen seen;
    TestApp app(seen);
    app.CreateMainWindow(nullptr, 2, 320, 240);
    int32_t nFpsBefore = -1, nFpsAfter = -1;
    std::thread ticker([&] {
        // OnFrame counts itself before the framework counts it: six begun means five counted.
        WaitUntil(seen.nFrames, 6);
        HeadlessStepTimers(999);
        nFpsBefore = app.m_nFps.load();
        HeadlessStepTimers(1);
        nFpsAfter = app.m_nFps.load();
        PlatformPostMessage(app.m_hWindow, WMSG_KEYDOWN, VKEY_ESCAPE, 0);
    });
    app.Run();
    ticker.join();
    EXPECT_EQ(nFpsBefore, 0);
    EXPECT_GE(nFpsAfter, 5);
    EXPECT_EQ(seen.nRelease.load(), 1);
}

TEST_F(FrameworkTest, AnErrorOnTheRenderThreadEndsTheRunThroughACloseRequest) {
    Seen seen;
    TestApp app(seen);
    app.m_bThrowAtStart = true;
    app.CreateMainWindow(nullptr, 1, 320, 240);
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(HeadlessDebugText(), "タイマーを作成できませんでした。\n");
    EXPECT_EQ(seen.nFrames.load(), 0);
    EXPECT_EQ(seen.nRelease.load(), 1);
}

TEST_F(FrameworkTest, ADestroyedHostEndsThePreviewAndTheDestructorStopsTheThread) {
    Seen seen;
    const WindowHandle hHost = HeadlessCreateHostWindow(200, 150);
    TestApp* pApp = NewObject<TestApp>(seen);
    pApp->CreatePreviewWindow(nullptr, hHost);
    std::thread host([&] {
        WaitUntil(seen.nFrames, 3);
        HeadlessDestroyHostWindow(hHost);
    });
    EXPECT_EQ(pApp->Run(), 0);
    host.join();
    EXPECT_EQ(seen.nRelease.load(), 0); // no close request: the loop ended on the destruction alone
    DeleteObject(pApp);
    EXPECT_EQ(seen.nThreadEnd.load(), 1);
    EXPECT_EQ(seen.nRelease.load(), 1);
}

TEST_F(FrameworkTest, AnErrorOfTheRenderThreadAfterItsHostWentAwayStillEndsWithZero) {
    // The host's destruction ends the loop at once; the thread fails only while it is being stopped.
    Seen seen;
    const WindowHandle hHost = HeadlessCreateHostWindow(200, 150);
    AppFactory pfnMake = [](void* pSeen) -> SFrmWork* {
        TestApp* pApp = NewObject<TestApp>(*static_cast<Seen*>(pSeen));
        pApp->m_bThrowAtStop = true;
        return pApp;
    };
    std::thread host([&] {
        WaitUntil(seen.nFrames, 3);
        HeadlessDestroyHostWindow(hHost);
    });
    EXPECT_EQ(ScreenSaverMain(nullptr, ("/p " + std::to_string(hHost)).c_str(), pfnMake, &seen), 0);
    host.join();
    EXPECT_EQ(HeadlessDebugText(), "描画に失敗しました。\n");
}

TEST_F(FrameworkTest, TheSecondCharacterOfTheCommandLineChoosesTheMode) {
    struct Case {
        const char* pszLine;
        uint8_t bMode; // window mode created; 0 none
        int nConfig;
    };
    const Case cases[] = {{"/s", 1, 0},   {"-s", 1, 0},   {"/S", 1, 0},   {"xs", 1, 0},     {"s", 0, 0},
                          {"/c", 0, 1},   {"-c", 0, 1},   {"", 0, 1},     {"/c:724", 0, 1}, {"/C", 0, 0},
                          {"/p #", 3, 0}, {"/l #", 3, 0}, {"/P #", 0, 0}, {"/x", 0, 0}};
    for (const Case& c : cases) {
        HeadlessResetWindows();
        const WindowHandle hHost = HeadlessCreateHostWindow(152, 112);
        std::string line = c.pszLine;
        if (line.size() > 3 && line[3] == '#') {
            line = line.substr(0, 3) + std::to_string(hHost);
        }
        Seen seen;
        TestApp app(seen);
        app.m_bCloseAtOnce = true;
        app.Start(nullptr, line.c_str());
        EXPECT_EQ(seen.bCreatedMode, c.bMode) << line;
        EXPECT_EQ(seen.bCreatedScreenSaver, c.bMode == 1 ? 1 : 0) << line;
        EXPECT_EQ(seen.nConfig.load(), c.nConfig) << line;
    }
}

TEST_F(FrameworkTest, ARunningInstanceOrABadPreviewHandleEndsTheStart) {
    Seen seen;
    AppFactory pfnMake = [](void* pSeen) -> SFrmWork* {
        return NewObject<TestApp>(*static_cast<Seen*>(pSeen));
    };
    // No number after the switch, or a handle that names no window: the creation message, exit code 0.
    EXPECT_EQ(ScreenSaverMain(nullptr, "/p", pfnMake, &seen), 0);
    EXPECT_EQ(ScreenSaverMain(nullptr, "/p 12345", pfnMake, &seen), 0);
    EXPECT_EQ(HeadlessDebugText(), "failed CreateWindowEx(...) 返値=NULL\n"
                                   "failed CreateWindowEx(...) 返値=NULL\n");

    // A top-level window of the same class and title: every switch does nothing, exit code 1.
    ASSERT_TRUE(PlatformRegisterClass(WindowClass{SFrmWork::MainWndProc, nullptr, 0, "App"}));
    ASSERT_NE(PlatformCreateMainWindow("App", "App", 1, 320, 240), 0u);
    EXPECT_EQ(ScreenSaverMain(nullptr, "/c", pfnMake, &seen), 1);
    EXPECT_EQ(ScreenSaverMain(nullptr, "/s", pfnMake, &seen), 1);
    EXPECT_EQ(seen.nConfig.load() + seen.nCreate.load(), 0);

    TestApp app(seen);
    EXPECT_THROW(
        {
            try {
                app.CreateMainWindow(nullptr, 3, 320, 240);
            } catch (const SString& error) {
                EXPECT_STREQ(error.Text(), "bWinModeが不正です。bWinMode=3\n");
                throw;
            }
        },
        SString);
}

TEST_F(FrameworkTest, TheMouseHooksReadTheLowAndHighWordsAsUnsigned) {
    Seen seen;
    TestApp app(seen);
    app.CreateMainWindow(nullptr, 2, 320, 240);
    // Words at or above 0x8000 stay positive, and bits above the high word (a 64-bit lParam, or a sign
    // extended one) are not part of y.
    const intptr_t lParams[] = {0x00280014, static_cast<intptr_t>(0xFFFF8000u), -1,
                                static_cast<intptr_t>(static_cast<int32_t>(0x8001FFFEu))};
    const std::vector<std::pair<int32_t, int32_t>> expected = {
        {20, 40}, {32768, 65535}, {65535, 65535}, {65534, 32769}};
    for (uint32_t uMsg : {WMSG_MOUSEMOVE, WMSG_LBUTTONDOWN, WMSG_MBUTTONDOWN, WMSG_RBUTTONDOWN}) {
        seen.points.clear();
        for (intptr_t lParam : lParams) {
            SFrmWork::MainWndProc(app.m_hWindow, uMsg, 0, lParam);
        }
        EXPECT_EQ(seen.points, expected) << uMsg;
    }
}

TEST_F(FrameworkTest, ThePreviewHandleIsReadAsAtoiReadsItWrappingInThirtyTwoBits) {
    // Blanks skipped, one sign, digits up to the first other character, from the fourth character on
    // whatever the third is; the value wraps in 32 bits. The host's width tells that the preview is in it.
    const WindowHandle hHost = HeadlessCreateHostWindow(152, 112);
    const std::string host = std::to_string(hHost);
    const std::string wrapped = std::to_string(4294967296ull * 3 + hHost);
    struct Case {
        std::string line;
        int32_t nWidth; // the preview's width; 0: no preview, the creation message
    };
    const Case cases[] = {
        {"/p " + host, 152},         {"/p   \t" + host, 152}, {"/p +" + host, 152},
        {"/p " + host + "x 9", 152}, {"/p " + wrapped, 152},  {"/p -" + host, 0},
        {"/p x" + host, 0},          {"/p + " + host, 0},     {"/p0" + host, 152},
    };
    for (const Case& c : cases) {
        HeadlessClearDebugText();
        Seen seen;
        AppFactory pfnMake = [](void* pSeen) -> SFrmWork* {
            TestApp* pApp = NewObject<TestApp>(*static_cast<Seen*>(pSeen));
            pApp->m_bCloseAtOnce = true;
            return pApp;
        };
        const int nExitCode = ScreenSaverMain(nullptr, c.line.c_str(), pfnMake, &seen);
        EXPECT_EQ(seen.nCreatedWidth, c.nWidth) << c.line;
        EXPECT_EQ(nExitCode, c.nWidth != 0 ? 1 : 0) << c.line;
        EXPECT_EQ(HeadlessDebugText(), c.nWidth != 0 ? "" : "failed CreateWindowEx(...) 返値=NULL\n")
            << c.line;
    }
}

// The start-up check, fed the processors this machine is not: an x86 without MMX ends every switch at
// once with 0 and nothing shown; ARM64 (Advanced SIMD is always there) and an x86 with MMX run.
TEST_F(FrameworkTest, OnlyAnX86WithoutMmxFailsTheProcessorCheck) {
    EXPECT_EQ(HasKernelUnit(ProcessorInfo{CPU_X86, false}), 0);
    EXPECT_EQ(HasKernelUnit(ProcessorInfo{CPU_X86, true}), 1);
    EXPECT_EQ(HasKernelUnit(ProcessorInfo{CPU_ARM64, false}), 1);
    EXPECT_EQ(HasKernelUnit(ProcessorInfo{CPU_OTHER, false}), 1);
    EXPECT_EQ(HasKernelUnit(), 1) << "the machine running the tests";

    Seen seen;
    AppFactory pfnMake = [](void* pSeen) -> SFrmWork* {
        return NewObject<TestApp>(*static_cast<Seen*>(pSeen));
    };
    const ProcessorCheck pfnNoMmx = [] { return HasKernelUnit(ProcessorInfo{CPU_X86, false}); };
    const WindowHandle hHost = HeadlessCreateHostWindow(152, 112);
    const std::string preview = "/p " + std::to_string(hHost);
    for (const char* pszLine : {"/s", "/c", "", preview.c_str()}) {
        EXPECT_EQ(ScreenSaverMain(nullptr, pszLine, pfnMake, &seen, pfnNoMmx), 0) << pszLine;
    }
    EXPECT_EQ(WindowedMain(nullptr, 320, 240, pfnMake, &seen, pfnNoMmx), 0);
    EXPECT_EQ(seen.nConfig.load() + seen.nCreate.load(), 0);
    EXPECT_EQ(HeadlessDebugText(), "");

    const ProcessorCheck pfnArm64 = [] { return HasKernelUnit(ProcessorInfo{CPU_ARM64, false}); };
    const ProcessorCheck pfnMmx = [] { return HasKernelUnit(ProcessorInfo{CPU_X86, true}); };
    EXPECT_EQ(ScreenSaverMain(nullptr, "/c", pfnMake, &seen, pfnArm64), 1);
    EXPECT_EQ(ScreenSaverMain(nullptr, "/c", pfnMake, &seen, pfnMmx), 1);
    EXPECT_EQ(seen.nConfig.load(), 2);
}

} // namespace

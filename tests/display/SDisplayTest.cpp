// The presenter's order of steps, messages and conversions, against the headless device steered to fail,
// lose its surfaces or report other layouts.
#include "display/SDisplay.h"
#include "display/PixelConvert.h"
#include "framework/Random.h"
#include "framework/SString.h"
#include "platform/headless/Display.h"
#include "platform/headless/Window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessResetWindows();
        HeadlessResetDisplay();
        HeadlessSetPresentSink([this](const PresentedFrame& frame) { m_presented.push_back(frame); });
        SeedRandom(99);
        for (int32_t i = 0; i < 320 * 240; ++i) {
            m_frame.pixels[i] =
                static_cast<uint32_t>(Random(32768)) << 9 ^ static_cast<uint32_t>(Random(32768));
        }
        ASSERT_TRUE(PlatformRegisterClass(WindowClass{
            [](WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; }, nullptr, 0, "Test"}));
        m_hWnd = PlatformCreateMainWindow("Test", "Test", 2, 640, 480);
    }
    void TearDown() override { HeadlessSetPresentSink(nullptr); }

    // Init's message for a failure, and everything given back after it.
    std::string FailInit(uint8_t bMode, const char* pszCall, int nOccurrence) {
        HeadlessResetDisplay();
        HeadlessFailDisplayCall(pszCall, nOccurrence, 0x887601c2);
        SDisplay display;
        std::string message = "(none)";
        try {
            display.Init(m_hWnd, bMode);
        } catch (const SString& error) {
            message = error.Text();
        }
        display.Release();
        EXPECT_EQ(HeadlessLiveDisplayObjects(), 0) << pszCall;
        EXPECT_TRUE(display.m_hWnd == 0 && display.bScrMode == 0 && display.m_lpDD == nullptr &&
                    display.m_lpPrimarySurface == nullptr && display.m_lpBackBuffer == nullptr)
            << pszCall;
        return message;
    }

    SImage m_frame{320, 240};
    WindowHandle m_hWnd = 0;
    std::vector<PresentedFrame> m_presented;
};

TEST_F(DisplayTest, FullScreenInitPresentAndReleaseKeepTheirOrder) {
    SDisplay display;
    display.Init(m_hWnd, SCR_FULLSCREEN);
    display.Present(&m_frame);
    display.Release();
    EXPECT_EQ(HeadlessDisplayLog(),
              (Lines{"DirectDrawCreate", "SetCooperativeLevel window 0x13", "SetDisplayMode 320 240 16",
                     "CreateSurface flip chain", "GetAttachedSurface 0x4", "GetPixelFormat", "IsLost",
                     "Lock 0x1", "Unlock", "Flip 0x1", "RestoreDisplayMode", "SetCooperativeLevel window 0x8",
                     "Release primary", "Release device"}));
    EXPECT_EQ(HeadlessLiveDisplayObjects(), 0);
}

TEST_F(DisplayTest, EveryInitFailureNamesItsCallAndReleaseGivesBackWhatWasMade) {
    EXPECT_EQ(FailInit(SCR_FULLSCREEN, "DirectDrawCreate", 1),
              "failed DirectDrawCreate( NULL, &m_lpDD, NULL ) 返値=887601c2\n");
    EXPECT_EQ(FailInit(SCR_FULLSCREEN, "SetCooperativeLevel", 1),
              "failed m_lpDD->SetCooperativeLevel( m_hWnd, DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | "
              "DDSCL_FULLSCREEN ) "
              "返値=887601c2\n");
    EXPECT_EQ(FailInit(SCR_FULLSCREEN, "SetDisplayMode", 1),
              "failed m_lpDD->SetDisplayMode( 320, 240, 16 ) 返値=887601c2\n");
    EXPECT_EQ(FailInit(SCR_FULLSCREEN, "CreateSurface", 1),
              "failed m_lpDD->CreateSurface( &ddsd, &m_lpPrimarySurface, NULL ) 返値=887601c2\n");
    EXPECT_EQ(FailInit(SCR_FULLSCREEN, "GetAttachedSurface", 1),
              "failed m_lpPrimarySurface->GetAttachedSurface( &ddscaps, &m_lpBackBuffer ) 返値=887601c2\n");
    EXPECT_EQ(FailInit(SCR_FULLSCREEN, "GetPixelFormat", 1),
              "failed m_lpPrimarySurface->GetPixelFormat( &m_ddpf ) 返値=887601c2\n");
    // Release restores the mode before it gives back the chain (its back buffer with it), the device last.
    EXPECT_EQ(
        HeadlessDisplayLog(),
        (Lines{"DirectDrawCreate", "SetCooperativeLevel window 0x13", "SetDisplayMode 320 240 16",
               "CreateSurface flip chain", "GetAttachedSurface 0x4", "GetPixelFormat", "RestoreDisplayMode",
               "SetCooperativeLevel window 0x8", "Release primary", "Release device"}));
    EXPECT_EQ(FailInit(SCR_WINDOW, "SetCooperativeLevel", 1),
              "failed m_lpDD->SetCooperativeLevel( NULL, DDSCL_NORMAL ) 返値=887601c2\n");
    EXPECT_EQ(FailInit(SCR_WINDOW, "CreateSurface", 1),
              "failed m_lpDD->CreateSurface( &ddsd, &m_lpPrimarySurface, NULL ) 返値=887601c2\n");
    EXPECT_EQ(FailInit(SCR_WINDOW, "CreateSurface", 2),
              "failed m_lpDD->CreateSurface( &ddsd, &m_lpBackBuffer, NULL ) 返値=887601c2\n");
    EXPECT_EQ(HeadlessDisplayLog(),
              (Lines{"DirectDrawCreate", "SetCooperativeLevel null 0x8", "CreateSurface primary",
                     "CreateSurface offscreen", "Release primary", "Release device"}));
    // A bad mode is found only after the device exists.
    EXPECT_EQ(FailInit(3, "none", 1), "bScrModeが不正です。bScrMode=3\n");
    EXPECT_EQ(FailInit(0, "none", 1), "bScrModeが不正です。bScrMode=0\n");
    EXPECT_EQ(HeadlessDisplayLog(), (Lines{"DirectDrawCreate", "Release device"}));
}

TEST_F(DisplayTest, TheGreenMaskChoosesTheConversionAndRowsStartAtThePitch) {
    const std::vector<std::pair<uint32_t, void (*)(void*, int32_t, const uint32_t*)>> layouts = {
        {0x7E0, ConvertTo565_scalar}, {0x3E0, ConvertTo555_scalar}, {0x1F, nullptr}};
    for (const auto& [dwGreenMask, pfnConvert] : layouts) {
        HeadlessResetDisplay();
        HeadlessSetGreenMask(dwGreenMask);
        HeadlessSetRowPadding(24);
        m_presented.clear();
        HeadlessSetPresentSink([this](const PresentedFrame& frame) { m_presented.push_back(frame); });
        SDisplay display;
        display.Init(m_hWnd, SCR_FULLSCREEN);
        EXPECT_EQ(display.Present(&m_frame), DISP_OK);
        display.Release();
        ASSERT_EQ(m_presented.size(), 1u);
        const PresentedFrame& shown = m_presented[0];
        EXPECT_TRUE(shown.bFlip);
        ASSERT_EQ(shown.lPitch, 640 + 24);
        std::vector<uint8_t> expected(shown.bytes.size(), 0); // any other layout: left unwritten
        if (pfnConvert != nullptr) {
            pfnConvert(expected.data(), shown.lPitch, m_frame.pixels);
        }
        EXPECT_EQ(shown.bytes, expected) << std::hex << dwGreenMask;
    }
}

TEST_F(DisplayTest, ALostSurfaceIsRestoredAndAFailedLockDropsTheFrame) {
    SDisplay display;
    display.Init(m_hWnd, SCR_FULLSCREEN);
    HeadlessClearDisplayLog();
    HeadlessLoseSurfaces();
    display.Present(&m_frame);
    EXPECT_EQ(HeadlessDisplayLog(), (Lines{"IsLost", "Restore", "Lock 0x1", "Unlock", "Flip 0x1"}));
    EXPECT_EQ(m_presented.size(), 1u);

    HeadlessClearDisplayLog();
    HeadlessFailDisplayCall("Lock", 2, 0x887601c2);
    EXPECT_EQ(display.Present(&m_frame), 0x887601c2u);
    EXPECT_EQ(HeadlessDisplayLog(), (Lines{"IsLost", "Lock 0x1"}));
    EXPECT_EQ(m_presented.size(), 1u);
    display.Release();
}

TEST_F(DisplayTest, AWindowGetsTheFrameStretchedOverItsClientArea) {
    SDisplay display;
    display.Init(m_hWnd, SCR_WINDOW);
    HeadlessClearDisplayLog();
    EXPECT_EQ(display.Present(&m_frame), DISP_OK);
    EXPECT_EQ(HeadlessDisplayLog(),
              (Lines{"IsLost", "Lock 0x1", "Unlock", "GetClientRect", "GetDC surface", "GetDC window",
                     "WaitForVerticalBlank 1", "StretchBlt 0 0 640 480 <- 0 0 320 240", "ReleaseDC window",
                     "ReleaseDC surface"}));
    ASSERT_EQ(m_presented.size(), 1u);
    EXPECT_EQ(m_presented[0].nDestWidth, 640);
    EXPECT_EQ(m_presented[0].dwBitCount, 32u);
    EXPECT_EQ(0, std::memcmp(m_presented[0].bytes.data(), m_frame.pixels, 320 * 240 * 4));

    // Without the surface's context nothing is stretched, and both contexts are still given back.
    HeadlessClearDisplayLog();
    HeadlessFailDisplayCall("GetDC", 2, 0x80004005);
    EXPECT_NE(display.Present(&m_frame), DISP_OK);
    EXPECT_EQ(HeadlessDisplayLog(), (Lines{"IsLost", "Lock 0x1", "Unlock", "GetClientRect", "GetDC surface",
                                           "GetDC window", "ReleaseDC window", "ReleaseDC surface"}));
    EXPECT_EQ(m_presented.size(), 1u);
    display.Release();
}

TEST_F(DisplayTest, AZeroSizedClientAreaShowsNothingButTheFrameIsStillWritten) {
    for (const auto& [nWidth, nHeight] : {std::pair{0, 0}, std::pair{200, 0}, std::pair{0, 150}}) {
        SDisplay display;
        display.Init(HeadlessCreateHostWindow(nWidth, nHeight), SCR_WINDOW);
        m_presented.clear();
        EXPECT_EQ(display.Present(&m_frame), DISP_OK) << nWidth << "x" << nHeight;
        EXPECT_TRUE(m_presented.empty()) << nWidth << "x" << nHeight;
        // The off-screen surface holds the frame, ready for the next stretch.
        DisplaySurfaceDesc ddsd{};
        ddsd.dwSize = 108;
        ASSERT_EQ(display.m_lpBackBuffer->Lock(&ddsd, DISP_LOCK_WAIT), DISP_OK);
        bool bWritten = true;
        for (int32_t y = 0; y < 240; ++y) {
            bWritten = bWritten && std::memcmp(static_cast<const uint8_t*>(ddsd.lpSurface) + y * ddsd.lPitch,
                                               m_frame.pixels + y * 320, 320 * 4) == 0;
        }
        display.m_lpBackBuffer->Unlock();
        EXPECT_TRUE(bWritten) << nWidth << "x" << nHeight;
        display.Release();
    }
}

} // namespace

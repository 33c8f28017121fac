// A frame's way to a real window, on a virtual X server of the test's own: the display device's stretch
// from the render thread, the main thread's part played by the test's own thread. The riskiest moments of
// the present path: the server refusing the render thread's puts, and the window ending while pictures
// go to it.
#include "platform/linux/Present.h"

#include "TraceCapture.h"
#include "framework/Debug.h"
#include "linux/VirtualServer.h"
#include "platform/DisplayDevice.h"
#include "platform/linux/Window.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
// SDL's video opens libdbus, which keeps its connection data until dbus_shutdown, which SDL never calls
// (as tests/sanitizers/lsan.supp says for the program's runs).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}
#endif

namespace {

intptr_t TestWindowProc(WindowHandle, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

constexpr uint32_t kColour = 0x2468AC;

TEST(WindowPresent, PicturesGoFromTheRenderThreadUntilRefusedAndStopSafelyWhenTheWindowEnds) {
    VirtualServer server({"-screen", "0", "320x240x24"});
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start";
    char szRuntime[] = "/tmp/lumivorra-present-XXXXXX"; // the plain window's instance lock goes here
    ASSERT_NE(mkdtemp(szRuntime), nullptr);
    setenv("XDG_RUNTIME_DIR", szRuntime, 1);
    unsetenv("LUMIVORRA_PRESENT");
    ClearTrace();
    SetTraceSink(CaptureTrace);

    ASSERT_TRUE(PlatformRegisterClass(WindowClass{TestWindowProc, nullptr, 0, "LumivorraPresentTest"}));
    const WindowHandle hWnd =
        PlatformCreateMainWindow("LumivorraPresentTest", "LumivorraPresentTest", WINDOW_PLAIN, 64, 48);
    ASSERT_NE(hWnd, 0u);
    DisplayDevice* pDevice = nullptr;
    ASSERT_EQ(PlatformDirectDrawCreate(&pDevice), DISP_OK);
    ASSERT_EQ(pDevice->SetCooperativeLevel(0, DISP_SCL_NORMAL), DISP_OK);
    DisplaySurfaceDesc desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DISP_SD_CAPS | DISP_SD_HEIGHT | DISP_SD_WIDTH | DISP_SD_PIXELFORMAT;
    desc.dwWidth = 320;
    desc.dwHeight = 240;
    desc.dwCaps = DISP_SCAPS_OFFSCREENPLAIN | DISP_SCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat = DisplayPixelFormat{32, DISP_PF_RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0};
    DisplaySurface* pSurface = nullptr;
    ASSERT_EQ(pDevice->CreateSurface(&desc, &pSurface), DISP_OK);
    DisplaySurfaceDesc locked{};
    ASSERT_EQ(pSurface->Lock(&locked, DISP_LOCK_WAIT), DISP_OK);
    for (uint32_t y = 0; y < 240; ++y) {
        uint32_t* pRow =
            reinterpret_cast<uint32_t*>(static_cast<char*>(locked.lpSurface) + y * locked.lPitch);
        for (uint32_t x = 0; x < 320; ++x) {
            pRow[x] = kColour;
        }
    }
    pSurface->Unlock();
    DrawContext hSurfaceDC = 0;
    ASSERT_EQ(pSurface->GetDC(&hSurfaceDC), DISP_OK);

    // The render thread stretches the frame into the window over and over, as the scene does.
    std::atomic<bool> bStop{false};
    std::atomic<int> nShown{0};
    std::atomic<int> nRefusedAfterEnd{0};
    std::atomic<bool> bEnded{false};
    std::thread render([&] {
        while (!bStop.load()) {
            const bool bShown =
                PlatformStretchBlt(PlatformGetDC(hWnd), 0, 0, 64, 48, hSurfaceDC, 0, 0, 320, 240);
            nShown.fetch_add(bShown ? 1 : 0);
            if (bEnded.load() && !bShown) {
                nRefusedAfterEnd.fetch_add(1);
            }
        }
    });
    const auto Serve = [](int nRounds, const auto& done) {
        for (int i = 0; i < nRounds && !done(); ++i) {
            ServePresentsFor(5);
        }
        return done();
    };

    // On this server the render thread puts the pictures itself; the window shows the frame.
    EXPECT_TRUE(Serve(2000, [&] { return nShown.load() > 5; }));
    EXPECT_TRUE(Traced("present path surface (no direct rendering on this X server)"));
    EXPECT_TRUE(Traced("pictures go to the X server from the render thread (MIT-SHM)"));
    Display* pDisplay = XOpenDisplay(nullptr);
    ASSERT_NE(pDisplay, nullptr);
    SDL_SysWMinfo wm{};
    SDL_VERSION(&wm.version);
    ASSERT_EQ(SDL_GetWindowWMInfo(SDL_GetWindowFromID(static_cast<uint32_t>(hWnd)), &wm), SDL_TRUE);
    const Window xWindow = wm.info.x11.window;
    XImage* pImage = XGetImage(pDisplay, xWindow, 32, 24, 1, 1, AllPlanes, ZPixmap);
    ASSERT_NE(pImage, nullptr);
    EXPECT_EQ(XGetPixel(pImage, 0, 0) & 0xFFFFFF, kColour);
    XDestroyImage(pImage);

    // The X window goes behind SDL's back (as a preview's does with its host): the server refuses the
    // puts, and the pictures go through the main thread, which finds nowhere to show them.
    XDestroyWindow(pDisplay, xWindow);
    XSync(pDisplay, False);
    EXPECT_TRUE(Serve(
        4000, [] { return Traced("pictures go through the main thread (the X server refused our puts)"); }));

    // The window ends while pictures go to it: the render thread is refused from then on, nothing waits.
    bEnded.store(true);
    PlatformDefWindowProc(hWnd, WMSG_CLOSE, 0, 0);
    EXPECT_TRUE(Serve(2000, [&] { return nRefusedAfterEnd.load() > 5; }));
    bStop.store(true);
    render.join();

    pSurface->ReleaseDC(hSurfaceDC);
    pSurface->Release();
    pDevice->Release();
    XCloseDisplay(pDisplay);
    SdlHostShutdown();
    SetTraceSink(nullptr);
    rmdir(szRuntime);
}

} // namespace

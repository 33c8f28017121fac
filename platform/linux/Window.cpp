// The window service on Linux: SDL2 windows on the main thread. Their messages are MessageQueue.cpp's,
// previews are our own child X11 window inside the host's (X11Preview.cpp), input becomes the framework's
// messages in KeyMap.cpp, and presents from the render thread are handed over in Present.cpp.
#include "platform/linux/Window.h"

#include "framework/Debug.h"
#include "platform/linux/InstanceLock.h"
#include "platform/linux/Present.h"
#include "platform/linux/WindowList.h"
#include "platform/linux/X11Present.h"
#include "platform/linux/X11Preview.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace sdlhost {

// Main thread only.
std::map<std::string, WindowClass> g_classes;
std::vector<HostWindow*> g_windows;
bool g_bVideo = false;
uint32_t g_dwWakeEvent = 0;
Display* g_pSdlXDisplay = nullptr; // SDL's X connection, waited on directly (WaitForWork)

// Written by other threads to wake the main thread's wait. An SDL event would do, but on X11 SDL wakes
// its wait by sending an event to itself through the X server: a round trip for every picture.
std::atomic<int> g_nWakeFd{-1};
std::atomic<bool> g_bWaitsOnFds{false};

std::mutex g_mutex;
PresentHandover g_handover(g_mutex);
std::vector<WindowHandle> g_live;

std::atomic<bool> g_bHasMain{false};
pthread_t g_mainThread;

HostWindow* Find(WindowHandle hWnd) {
    for (HostWindow* pWindow : g_windows) {
        if (pWindow->hWnd == hWnd) {
            return pWindow;
        }
    }
    return nullptr;
}

bool IsLive(WindowHandle hWnd) {
    for (WindowHandle hLive : g_live) {
        if (hLive == hWnd) {
            return true;
        }
    }
    return false;
}

// Async-signal-safe: a write to the eventfd, errno kept.
void WriteWakeFd(int nWakeFd) {
    const int nErrno = errno;
    const uint64_t qwOne = 1;
    [[maybe_unused]] const ssize_t nWritten = write(nWakeFd, &qwOne, sizeof qwOne);
    errno = nErrno;
}

void Wake() {
    const int nWakeFd = g_nWakeFd.load();
    if (nWakeFd >= 0 && g_bWaitsOnFds.load()) {
        WriteWakeFd(nWakeFd);
        return;
    }
    if (g_dwWakeEvent != 0) {
        SDL_Event event{};
        event.type = g_dwWakeEvent;
        SDL_PushEvent(&event);
    }
}

void WakeFromSignal() {
    const int nWakeFd = g_nWakeFd.load();
    if (nWakeFd >= 0) {
        WriteWakeFd(nWakeFd);
    }
}

bool EnsureVideo() {
    if (g_bVideo) {
        return true;
    }
    // The program handles SIGINT and SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A screen saver must never keep the screen awake: by default SDL's video start-up keeps resetting
    // the X server's idle timer (or takes an idle inhibitor on Wayland), so the monitor would never
    // power down and no locker that watches the idle time would ever fire while the picture runs.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Trace("SdlHost: no video (%s).\n", SDL_GetError());
        return false;
    }
    // After SDL's own, which would end the process on the first error from a vanished host window.
    X11InstallErrorHandlers();
    g_dwWakeEvent = SDL_RegisterEvents(1);
    g_nWakeFd.store(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    g_mainThread = pthread_self();
    g_bHasMain.store(true);
    g_bVideo = true;
    return true;
}

void UpdateClientSize(HostWindow* pWindow) {
    int nWidth = 0;
    int nHeight = 0;
    if (pWindow->pRenderer == nullptr ||
        SDL_GetRendererOutputSize(pWindow->pRenderer, &nWidth, &nHeight) != 0) {
        SDL_GetWindowSize(pWindow->pWindow, &nWidth, &nHeight);
    }
    pWindow->nClientWidth.store(nWidth);
    pWindow->nClientHeight.store(nHeight);
}

// The OpenGL renderer's name ("llvmpipe (LLVM 15.0.6, 256 bits)", a GPU's), empty when the renderer is
// not OpenGL's. Its context is current on this thread right after SDL_CreateRenderer.
std::string GlRendererName(SDL_Renderer* pRenderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(pRenderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) {
        return std::string();
    }
    using GetStringFn = const unsigned char* (*)(unsigned int);
    const auto pfnGetString = reinterpret_cast<GetStringFn>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* pszName = pfnGetString != nullptr ? pfnGetString(0x1F01) : nullptr; // GL_RENDERER
    return pszName != nullptr ? std::string(reinterpret_cast<const char*>(pszName)) : std::string();
}

bool IsSoftwareGl(const std::string& name) {
    for (const char* pszSoftware : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
        if (name.find(pszSoftware) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The texture path where SDL's renderer runs on a GPU, the surface path otherwise (Present.h). On an X
// server without direct rendering (Xvfb, a remote display) OpenGL could only run on the processor, so
// it is not even loaded. $LUMIVORRA_PRESENT ("texture" or "surface") forces a path, for the tests;
// "surface-main" forces the surface path's way through the main thread, which otherwise serves only windows
// whose pixels are not 24-bit XRGB.
bool ChoosePath(HostWindow* pWindow) {
    const char* pszForced = std::getenv("LUMIVORRA_PRESENT");
    const std::string forced = pszForced != nullptr ? pszForced : "";
    const bool bX11 = std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0;
    std::string reason;
    if (forced == "surface" || forced == "surface-main") {
        reason = "forced";
        pWindow->bDirectRefused = forced == "surface-main";
    } else if (forced.empty() && bX11 && !X11ServerRendersDirect()) {
        reason = "no direct rendering on this X server";
    } else {
        pWindow->pRenderer = SDL_CreateRenderer(pWindow->pWindow, -1, 0);
        if (pWindow->pRenderer == nullptr) {
            Trace("SdlHost: no renderer (%s).\n", SDL_GetError());
            return false;
        }
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(pWindow->pRenderer, &info);
        const std::string gl = GlRendererName(pWindow->pRenderer);
        Trace("SdlHost: renderer %s%s%s.\n", info.name, gl.empty() ? "" : ", ", gl.c_str());
        const bool bSoftware = std::strcmp(info.name, "software") == 0 || IsSoftwareGl(gl);
        if (forced == "texture" || !bSoftware) {
            pWindow->picture.path = PATH_TEXTURE;
            Trace("SdlHost: present path texture (%s).\n", forced.empty() ? "renderer on a GPU" : "forced");
            return true;
        }
        SDL_DestroyRenderer(pWindow->pRenderer);
        pWindow->pRenderer = nullptr;
        reason = "the renderer draws on the processor";
    }
    // SDL would otherwise make the window surface from a renderer's texture; MIT-SHM is what we want.
    // The surface (a second picture the size of the window) is made only for pictures shown through the
    // main thread, when the first of them comes.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (pWindow->bDirectRefused && SDL_GetWindowSurface(pWindow->pWindow) == nullptr) {
        Trace("SdlHost: no window surface (%s).\n", SDL_GetError());
        return false;
    }
    pWindow->picture.path = PATH_SURFACE;
    Trace("SdlHost: present path surface (%s).\n", reason.c_str());
    return true;
}

// Our connection watches SDL's windows for being unmapped or covered (previews' children are watched
// from their making).
void Watch(HostWindow* pWindow) {
    if (pWindow->xChild != 0) {
        pWindow->xWindow = pWindow->xChild;
        return;
    }
    SDL_SysWMinfo wm{};
    SDL_VERSION(&wm.version);
    if (SDL_GetWindowWMInfo(pWindow->pWindow, &wm) == SDL_TRUE && wm.subsystem == SDL_SYSWM_X11) {
        pWindow->xWindow = static_cast<unsigned long>(wm.info.x11.window);
        X11Watch(pWindow->xWindow);
        g_pSdlXDisplay = wm.info.x11.display;
        g_bWaitsOnFds.store(true);
    }
}

HostWindow* Register(HostWindow* pWindow, const WindowClass& wc) {
    pWindow->pfnProc = wc.pfnWndProc;
    pWindow->hWnd = SDL_GetWindowID(pWindow->pWindow);
    if (!ChoosePath(pWindow)) {
        return nullptr;
    }
    Watch(pWindow);
    UpdateClientSize(pWindow);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_windows.push_back(pWindow);
    g_live.push_back(pWindow->hWnd);
    return pWindow;
}

// Frees what the window holds; its procedure has already seen WMSG_DESTROY (or is gone with the program).
void Free(HostWindow* pWindow) {
    {
        // Other threads read the list (client size, mode) and present to its windows under the lock.
        std::lock_guard<std::mutex> lock(g_mutex);
        std::erase(g_live, pWindow->hWnd);
        std::erase(g_windows, pWindow);
    }
    FreePicture(pWindow->picture); // no direct present can reach it any more
    if (pWindow->pRenderer != nullptr) {
        SDL_DestroyRenderer(pWindow->pRenderer);
    }
    if (pWindow->pWindow != nullptr) {
        SDL_DestroyWindow(pWindow->pWindow); // a foreign window stays; ours below
    }
    if (pWindow->xChild != 0 && !pWindow->bHostGone) {
        X11DestroyPreviewChild(pWindow->xChild);
    }
    if (pWindow->bMode == 1) {
        SDL_ShowCursor(SDL_ENABLE);
    }
    ReleaseInstanceLock(pWindow->nLockFd);
    delete pWindow;
}

// Sends WMSG_DESTROY to the window's procedure while the window still exists, then frees it.
void Destroy(HostWindow* pWindow) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        std::erase(g_live, pWindow->hWnd); // nothing may be posted to it from now on
    }
    if (pWindow->pfnProc != nullptr) {
        pWindow->pfnProc(pWindow->hWnd, WMSG_DESTROY, 0, 0);
    }
    Free(pWindow);
}

void NoteChange(unsigned long xWindow, X11Change change) {
    for (HostWindow* pWindow : g_windows) {
        const bool bHost = xWindow == pWindow->xHost && xWindow != 0;
        if (!bHost && xWindow != pWindow->xWindow) {
            continue;
        }
        switch (change) {
        case X11_DESTROYED:
            if (bHost || xWindow == pWindow->xChild) {
                pWindow->bHostGone.store(true);
            }
            break;
        case X11_MAPPED:
        case X11_UNMAPPED:
            pWindow->bUnmapped = change == X11_UNMAPPED;
            break;
        case X11_COVERED:
        case X11_UNCOVERED:
            if (!bHost) {
                pWindow->bCovered = change == X11_COVERED;
            }
            break;
        }
        // Nobody can see the window: nothing is presented until it can be seen again. The render thread
        // goes on composing, paced by the display's rate, so the picture comes back at once and current.
        const bool bPaused = pWindow->bUnmapped || pWindow->bCovered;
        if (bPaused != pWindow->bPaused) {
            pWindow->bPaused.store(bPaused);
            pWindow->bBarsLost.store(true);
            Trace(bPaused ? "SdlHost: presents paused (the window cannot be seen).\n"
                          : "SdlHost: presents resumed.\n");
        }
    }
}

void PumpX() {
    X11TakeChanges(NoteChange);
}

bool Show(const PresentRequest& request) {
    PumpX();
    HostWindow* pWindow = Find(request.hWnd);
    if (pWindow == nullptr || pWindow->bHostGone) {
        return false;
    }
    if (pWindow->bPaused.load()) {
        return true;
    }
    if (pWindow->bBarsLost.exchange(false)) {
        pWindow->picture.bBarsPainted = false;
    }
    return DrawPicture(pWindow->pWindow, pWindow->pRenderer, pWindow->picture, request);
}

void ServePresent() {
    g_handover.Serve(Show);
}

bool AcceptsPictures(WindowHandle hWnd) {
    return IsLive(hWnd);
}

bool PresentPendingLocked() {
    return g_handover.IsPendingLocked();
}

bool SdlHasQueuedX() {
    return g_pSdlXDisplay != nullptr && XQLength(g_pSdlXDisplay) > 0;
}

WaitResult WaitForWork(uint32_t dwMilliseconds) {
    const int nWakeFd = g_nWakeFd.load();
    if (nWakeFd < 0 || g_pSdlXDisplay == nullptr) {
        // Without descriptors to wait on, signals are only seen by looking: look often.
        SDL_WaitEventTimeout(nullptr, static_cast<int>(dwMilliseconds < 10 ? dwMilliseconds : 10));
        return WaitResult{true, true};
    }
    pollfd fds[3] = {
        {nWakeFd, POLLIN, 0}, {ConnectionNumber(g_pSdlXDisplay), POLLIN, 0}, {X11ConnectionFd(), POLLIN, 0}};
    const nfds_t nCount = fds[2].fd >= 0 ? 3 : 2;
    const int nReady = poll(fds, nCount, static_cast<int>(dwMilliseconds));
    if (nReady <= 0) {
        // Timed out (or interrupted): look at everything, as a wait without descriptors would.
        return WaitResult{true, true};
    }
    if ((fds[0].revents & POLLIN) != 0) {
        uint64_t qwCount = 0;
        [[maybe_unused]] const ssize_t nRead = read(nWakeFd, &qwCount, sizeof qwCount);
    }
    return WaitResult{fds[1].revents != 0, nCount == 3 && fds[2].revents != 0};
}

} // namespace sdlhost

using namespace sdlhost;

bool PlatformRegisterClass(const WindowClass& wc) {
    if (wc.pszClassName == nullptr || wc.pfnWndProc == nullptr) {
        return false;
    }
    g_classes[wc.pszClassName] = wc;
    return true;
}

WindowHandle PlatformCreateMainWindow(const char* pszClassName, const char* pszTitle, uint8_t bWinMode,
                                      int32_t nWidth, int32_t nHeight) {
    const auto itClass = g_classes.find(pszClassName);
    if (itClass == g_classes.end() || (bWinMode != 1 && bWinMode != 2) || !EnsureVideo()) {
        return 0;
    }
    HostWindow* pWindow = new HostWindow;
    pWindow->bMode = bWinMode;
    if (bWinMode == 1) {
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
            delete pWindow;
            return 0;
        }
        // Without a window manager the full-screen flag alone changes nothing: the window itself covers
        // the desktop.
        pWindow->pWindow = SDL_CreateWindow(pszTitle, 0, 0, desktop.w, desktop.h,
                                            SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        pWindow->pWindow = SDL_CreateWindow(pszTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                            nWidth, nHeight, SDL_WINDOW_RESIZABLE);
    }
    if (pWindow->pWindow == nullptr) {
        Trace("SdlHost: no window (%s).\n", SDL_GetError());
        delete pWindow;
        return 0;
    }
    if (Register(pWindow, itClass->second) == nullptr) {
        Free(pWindow);
        return 0;
    }
    if (bWinMode == 1) {
        SDL_ShowCursor(SDL_DISABLE);
        SDL_StopTextInput(); // no input method while the screen saver runs
    }
    // Both are top-level windows, which the Windows test would find.
    pWindow->nLockFd = TakeInstanceLock(pszClassName, pszTitle);
    return pWindow->hWnd;
}

WindowHandle PlatformCreatePreviewWindow(const char* pszClassName, const char* pszTitle,
                                         WindowHandle hParent) {
    const auto itClass = g_classes.find(pszClassName);
    if (itClass == g_classes.end() || hParent == 0 || hParent > 0xFFFFFFFFu || !EnsureVideo()) {
        return 0;
    }
    const unsigned long xHost = static_cast<unsigned long>(hParent);
    const unsigned long xChild = X11CreatePreviewChild(xHost, pszTitle);
    if (xChild == 0) {
        return 0;
    }
    HostWindow* pWindow = new HostWindow;
    pWindow->bMode = 3;
    pWindow->xHost = xHost;
    pWindow->xChild = xChild;
    pWindow->pWindow = SDL_CreateWindowFrom(reinterpret_cast<const void*>(xChild));
    if (pWindow->pWindow == nullptr || Register(pWindow, itClass->second) == nullptr) {
        Trace("SdlHost: no preview window (%s).\n", SDL_GetError());
        Free(pWindow);
        return 0;
    }
    return pWindow->hWnd;
}

void PlatformSetWindowData(WindowHandle hWnd, void* pData) {
    if (HostWindow* pWindow = Find(hWnd)) {
        pWindow->pData = pData;
    }
}

void* PlatformGetWindowData(WindowHandle hWnd) {
    HostWindow* pWindow = Find(hWnd);
    return pWindow != nullptr ? pWindow->pData : nullptr;
}

void PlatformUpdateWindow(WindowHandle hWnd) {
    HostWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr || pWindow->bHostGone) {
        return;
    }
    // On the surface path our connection paints it: SDL's window surface would cost a second picture's
    // memory the size of the window, which the render thread's puts never use.
    if (pWindow->picture.path == PATH_SURFACE && pWindow->xWindow != 0) {
        X11PaintBlack(pWindow->xWindow, pWindow->nClientWidth.load(), pWindow->nClientHeight.load());
    } else {
        ClearPicture(pWindow->pWindow, pWindow->pRenderer, pWindow->picture);
    }
    pWindow->bBarsLost.store(true);
}

intptr_t PlatformDefWindowProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t, intptr_t) {
    if (uMsg == WMSG_CLOSE) {
        if (HostWindow* pWindow = Find(hWnd)) {
            Destroy(pWindow);
        }
    }
    return 0;
}

bool PlatformGetClientRect(WindowHandle hWnd, ClientRect* pRect) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const HostWindow* pWindow = IsLive(hWnd) ? Find(hWnd) : nullptr;
    if (pWindow == nullptr) {
        return false;
    }
    *pRect = ClientRect{0, 0, pWindow->nClientWidth.load(), pWindow->nClientHeight.load()};
    return true;
}

bool SdlHostPresent(const PresentRequest& request) {
    {
        // The surface path shows the picture from this thread where it can; the lock keeps the window
        // from ending meanwhile.
        std::lock_guard<std::mutex> lock(g_mutex);
        HostWindow* pWindow = IsLive(request.hWnd) ? Find(request.hWnd) : nullptr;
        if (pWindow == nullptr) {
            return false;
        }
        if (pWindow->picture.path == PATH_SURFACE && !pWindow->bDirectRefused) {
            if (pWindow->bHostGone.load() || pWindow->bPaused.load()) {
                return !pWindow->bHostGone.load();
            }
            if (pWindow->bBarsLost.exchange(false)) {
                pWindow->picture.bBarsPainted = false;
            }
            switch (DrawDirect(pWindow->xWindow, pWindow->nClientWidth.load(), pWindow->nClientHeight.load(),
                               pWindow->picture, request)) {
            case DIRECT_SHOWN:
                return true;
            case DIRECT_FAILED:
                return false;
            case DIRECT_UNUSABLE:
                Trace("SdlHost: pictures go through the main thread (the window's pixels are not ours).\n");
                pWindow->bDirectRefused = true;
                pWindow->picture.bBarsPainted = false;
                break;
            }
        }
    }
    return g_handover.Hand(request, AcceptsPictures, Wake);
}

uint64_t SdlHostRefreshPeriodNs(WindowHandle hWnd) {
    HostWindow* pWindow = Find(hWnd);
    SDL_DisplayMode mode{};
    const int nDisplay = pWindow != nullptr ? SDL_GetWindowDisplayIndex(pWindow->pWindow) : 0;
    if (!g_bVideo || SDL_GetCurrentDisplayMode(nDisplay < 0 ? 0 : nDisplay, &mode) != 0 ||
        mode.refresh_rate <= 0) {
        return 1000000000u / 60;
    }
    return 1000000000u / static_cast<uint64_t>(mode.refresh_rate);
}

bool SdlHostSetLogicalSize(WindowHandle hWnd, int32_t nWidth, int32_t nHeight) {
    HostWindow* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return false;
    }
    // The surface path letterboxes each full-screen picture itself.
    if (pWindow->pRenderer != nullptr) {
        SDL_RenderSetLogicalSize(pWindow->pRenderer, nWidth, nHeight);
    }
    return true;
}

uint8_t SdlHostWindowMode(WindowHandle hWnd) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const HostWindow* pWindow = IsLive(hWnd) ? Find(hWnd) : nullptr;
    return pWindow != nullptr ? pWindow->bMode : 0;
}

bool SdlHostIsMainThread() {
    return g_bHasMain.load() && pthread_equal(pthread_self(), g_mainThread) != 0;
}

void SdlHostServeFor(uint32_t dwMilliseconds) {
    g_handover.ServeFor(dwMilliseconds, Show);
}

void SdlHostShutdown() {
    while (!g_windows.empty()) {
        Free(g_windows.back());
    }
    X11ClosePreviews();
    if (g_bVideo) {
        X11CloseDirect();
        // All of SDL: its D-Bus connection, opened with the video system, is closed only by SDL_Quit.
        g_bWaitsOnFds.store(false);
        g_pSdlXDisplay = nullptr;
        SDL_Quit();
        g_bVideo = false;
        close(g_nWakeFd.exchange(-1));
    }
}

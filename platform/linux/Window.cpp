// The window service on Linux: SDL2 windows on the main thread, made, found, guarded and ended here.
// Their messages are MessageQueue.cpp's, previews are our own child X11 window inside the host's
// (X11MainConnection.cpp), input becomes the framework's messages in KeyMap.cpp, and their pictures are
// the present module's (Present.h).
#include "platform/linux/Window.h"

#include "framework/Debug.h"
#include "platform/Language.h"
#include "platform/linux/Covers.h"
#include "platform/linux/InstanceLock.h"
#include "platform/linux/MainWait.h"
#include "platform/linux/Monitors.h"
#include "platform/linux/Present.h"
#include "platform/linux/SdlAudio.h"
#include "platform/linux/WaylandPresent.h"
#include "platform/linux/WindowList.h"
#include "platform/linux/X11MainConnection.h"
#include "platform/linux/X11Present.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>
#include <map>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace sdlhost {

// Main thread only.
std::map<std::string, WindowClass> g_classes;
std::vector<HostWindow*> g_windows;
bool g_bVideo = false;

std::mutex g_mutex;
std::vector<WindowHandle> g_live;

std::atomic<bool> g_bHasMain{false};
pthread_t g_mainThread;

HostWindow* Find(WindowHandle hWnd) {
    for (HostWindow* pWindow : g_windows) {
        if (pWindow->hWnd == hWnd) {
            return pWindow;
        }
        for (HostWindow* pCover : pWindow->covers) {
            if (pCover->hWnd == hWnd) {
                return pCover;
            }
        }
    }
    return nullptr;
}

HostWindow* FindLive(WindowHandle hWnd) {
    for (WindowHandle hLive : g_live) {
        if (hLive == hWnd) {
            return Find(hWnd);
        }
    }
    return nullptr;
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
    StartMainWait();
    g_mainThread = pthread_self();
    g_bHasMain.store(true);
    g_bVideo = true;
    return true;
}

// Full screen over every monitor the X server describes; false where SDL's first display serves (one
// monitor, or a server that names none, or another video driver than X11's).
bool SpanOfMonitors(MonitorSpan* pSpan) {
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) {
        return false;
    }
    const char* pszSource = "";
    if (!SpanMonitors(X11ReadMonitors(X11MainDisplay(), &pszSource), pSpan)) {
        return false;
    }
    const ScaleRect& b = pSpan->bounds;
    Trace("SdlHost: pictures over %zu monitors (%s), %dx%d at %d,%d.\n", pSpan->monitors.size(), pszSource,
          b.w, b.h, b.x, b.y);
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

// Our connection watches SDL's windows for being unmapped or covered (previews' children are watched
// from their making), and the main thread waits on SDL's connection, previews' included.
void Watch(HostWindow* pWindow) {
    SDL_SysWMinfo wm{};
    SDL_VERSION(&wm.version);
    if (SDL_GetWindowWMInfo(pWindow->pWindow, &wm) != SDL_TRUE) {
        return;
    }
    if (wm.subsystem == SDL_SYSWM_WAYLAND) {
        // Frame callbacks tell the render thread when the compositor shows the window (WaylandPresent.h).
        pWindow->wlDisplay = wm.info.wl.display;
        pWindow->wlSurface = wm.info.wl.surface;
        WaitOnSdlWayland(wm.info.wl.display);
        static bool s_bTraced = false;
        if (!s_bTraced) {
            s_bTraced = true;
            Trace(
                "SdlHost: no watch of covered windows on Wayland (the compositor's frame callbacks pace the "
                "pictures).\n");
        }
        return;
    }
    if (wm.subsystem != SDL_SYSWM_X11) {
        return;
    }
    WaitOnSdlConnection(wm.info.x11.display);
    if (pWindow->xChild != 0) {
        pWindow->xWindow = pWindow->xChild;
        return;
    }
    pWindow->xWindow = static_cast<unsigned long>(wm.info.x11.window);
    X11Watch(pWindow->xWindow);
}

HostWindow* Register(HostWindow* pWindow, const WindowClass& wc) {
    pWindow->pfnProc = wc.pfnWndProc;
    pWindow->hWnd = SDL_GetWindowID(pWindow->pWindow);
    if (!ChoosePresentPath(pWindow)) {
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
    std::vector<HostWindow*> covers;
    {
        // Other threads read the list (client size, mode) and present to its windows under the lock.
        std::lock_guard<std::mutex> lock(g_mutex);
        std::erase(g_live, pWindow->hWnd);
        std::erase(g_windows, pWindow);
        covers.swap(pWindow->covers);
    }
    // All in one go with the window: no output is left showing the run.
    FreeCovers(covers);
    FreePresent(pWindow); // no present can reach it any more
    if (pWindow->pWindow != nullptr) {
        SDL_DestroyWindow(pWindow->pWindow); // a foreign window stays; ours below
    }
    if (pWindow->xChild != 0 && !pWindow->bHostGone) {
        X11DestroyPreviewChild(pWindow->xChild);
    }
    if (pWindow->mode == WINDOW_FULL_SCREEN) {
        SDL_ShowCursor(SDL_ENABLE);
    }
    ReleaseInstanceLock(pWindow->nLockFd);
    delete pWindow;
}

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

void TakeWindowChanges() {
    unsigned long xWindow = 0;
    X11Change change = X11_MAPPED;
    while (X11NextChange(&xWindow, &change)) {
        NoteChange(xWindow, change);
    }
}

// The compositor went away (it ended, or the session was closed): as when the X server does
// (X11MainConnection.cpp), nothing can be shown or received any more, and the run ends at once.
void EndIfCompositorGone() {
    for (HostWindow* pWindow : g_windows) {
        if (pWindow->wlDisplay != nullptr && WaylandConnectionLost(pWindow->wlDisplay)) {
            DebugPrint("%s", Tr("The connection to the display was lost.\n"));
            _exit(0);
        }
    }
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
    if (itClass == g_classes.end() || (bWinMode != WINDOW_FULL_SCREEN && bWinMode != WINDOW_PLAIN) ||
        !EnsureVideo()) {
        return 0;
    }
    HostWindow* pWindow = new HostWindow;
    pWindow->mode = static_cast<WindowMode>(bWinMode);
    MonitorSpan span{};
    const bool bSpan = pWindow->mode == WINDOW_FULL_SCREEN && SpanOfMonitors(&span);
    const X11Manager manager = bSpan ? X11WindowManager(X11MainDisplay()) : X11_MANAGER_NONE;
    const bool bCovers = pWindow->mode == WINDOW_FULL_SCREEN && OutputsNeedCovers();
    if (bSpan) {
        // Shown once a window manager has been asked to span the monitors. One that cannot would make it
        // full screen on one monitor, or place it anywhere: the window is then kept from it
        // (override-redirect), above every other.
        const ScaleRect& b = span.bounds;
        if (manager == X11_MANAGER_ONE_MONITOR) {
            Trace("SdlHost: the window manager cannot span monitors; the window is not its to manage.\n");
            SDL_SetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT, "1");
        }
        pWindow->pWindow =
            SDL_CreateWindow(pszTitle, b.x, b.y, b.w, b.h, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        SDL_ResetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT);
        pWindow->picture.monitors = span.monitors;
        pWindow->picture.nSpanWidth = b.w;
        pWindow->picture.nSpanHeight = b.h;
    } else if (pWindow->mode == WINDOW_FULL_SCREEN) {
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
            delete pWindow;
            return 0;
        }
        // Without a window manager the full-screen flag alone changes nothing: the window itself covers
        // the desktop. Where outputs are displays of their own, the first display's (the others get
        // covers).
        const int nAt = bCovers ? static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(0)) : 0;
        pWindow->pWindow = SDL_CreateWindow(pszTitle, nAt, nAt, desktop.w, desktop.h,
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
    if (bSpan && manager != X11_MANAGER_ONE_MONITOR) {
        X11AskFullScreenSpan(X11MainDisplay(), pWindow->xWindow, span, false);
        SDL_ShowWindow(pWindow->pWindow);
        X11AskFullScreenSpan(X11MainDisplay(), pWindow->xWindow, span, true);
        UpdateClientSize(pWindow);
    } else if (bSpan) {
        // Nobody gives an unmanaged window the keyboard.
        SDL_ShowWindow(pWindow->pWindow);
        SDL_SetWindowInputFocus(pWindow->pWindow);
    }
    if (bCovers) {
        MakeCovers(pWindow, pszTitle);
    }
    if (pWindow->mode == WINDOW_FULL_SCREEN) {
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
    pWindow->mode = WINDOW_CHILD;
    pWindow->xHost = xHost;
    pWindow->xChild = xChild;
    pWindow->pWindow = SDL_CreateWindowFrom(reinterpret_cast<const void*>(xChild));
    // In the root window itself (--root without a host of its own) the picture is letterboxed on each
    // monitor, as in full screen.
    MonitorSpan span{};
    if (pWindow->pWindow != nullptr && X11IsDefaultRoot(X11MainDisplay(), xHost) && SpanOfMonitors(&span)) {
        for (ScaleRect& monitor : span.monitors) {
            monitor.x += span.bounds.x;
            monitor.y += span.bounds.y;
        }
        pWindow->picture.monitors = span.monitors;
        SDL_GetWindowSize(pWindow->pWindow, &pWindow->picture.nSpanWidth, &pWindow->picture.nSpanHeight);
    }
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
    if (pWindow != nullptr && !pWindow->bHostGone) {
        PaintWindowBlack(pWindow);
    }
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
    const HostWindow* pWindow = FindLive(hWnd);
    if (pWindow == nullptr) {
        return false;
    }
    *pRect = ClientRect{0, 0, pWindow->nClientWidth.load(), pWindow->nClientHeight.load()};
    return true;
}

WindowMode SdlHostWindowMode(WindowHandle hWnd) {
    std::lock_guard<std::mutex> lock(g_mutex);
    const HostWindow* pWindow = FindLive(hWnd);
    return pWindow != nullptr ? pWindow->mode : WINDOW_NONE;
}

bool SdlHostIsMainThread() {
    return g_bHasMain.load() && pthread_equal(pthread_self(), g_mainThread) != 0;
}

void SdlHostShutdown() {
    while (!g_windows.empty()) {
        Free(g_windows.back());
    }
    X11CloseMainConnection();
    if (g_bVideo) {
        X11CloseDirect();
        WaylandCloseDirect();
        EndMainWait();
        if (SdlAudioDevice::InUse()) {
            // The music's device was left behind, its thread waiting for SDL's audio thread: SDL_Quit
            // would wait for it too, and the process would never end. Only the video goes.
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        } else {
            // All of SDL: its D-Bus connection, opened with the video system, is closed only by SDL_Quit.
            SDL_Quit();
        }
        g_bVideo = false;
    }
}

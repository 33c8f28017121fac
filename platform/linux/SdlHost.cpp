// The window service on Linux: SDL2 windows on the main thread, our own child X11 window inside a host
// window for previews, input turned into the framework's messages, and the hand-over of presents from
// the render thread.
#include "platform/linux/SdlHost.h"

#include "framework/Debug.h"
#include "platform/linux/InstanceLock.h"
#include "platform/linux/KeyMap.h"

#include <SDL.h>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <pthread.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct HostWindow {
    WindowHandle hWnd = 0;
    uint8_t bMode = 0;
    WindowProc pfnProc = nullptr;
    void* pData = nullptr;
    SDL_Window* pWindow = nullptr;
    SDL_Renderer* pRenderer = nullptr;
    SDL_Texture* pTexture = nullptr; // the last format and size presented
    PresentFormat textureFormat = PRESENT_XRGB8888;
    int32_t nTextureWidth = 0;
    int32_t nTextureHeight = 0;
    Window xChild = 0; // preview: our window inside the host's
    Window xHost = 0;
    bool bHostGone = false; // the host window was destroyed: draw nothing, destroy at the next message
    int nLockFd = -1;       // top-level: the single-instance lock
    uint32_t dwShown = 0;   // pictures shown, and the time of the first
    std::chrono::steady_clock::time_point firstShown;
    std::atomic<int32_t> nClientWidth{0};
    std::atomic<int32_t> nClientHeight{0};
};

enum PresentState { PRESENT_IDLE, PRESENT_PENDING, PRESENT_SERVING };

// Main thread only; g_windows is changed by the main thread under g_mutex, read by others under it.
std::map<std::string, WindowClass> g_classes;
std::vector<HostWindow*> g_windows;
Display* g_pXDisplay = nullptr; // our own connection for preview windows
bool g_bVideo = false;
uint32_t g_dwWakeEvent = 0;

// Shared with other threads, under g_mutex.
std::mutex g_mutex;
std::condition_variable g_cvRequest; // a present was handed over
std::condition_variable g_cvDone;    // the present was shown (or dropped)
std::deque<WindowMsg> g_queue;
std::vector<WindowHandle> g_live; // windows that messages may be posted to
bool g_bQuit = false;
int32_t g_nQuitCode = 0;
PresentState g_presentState = PRESENT_IDLE;
PresentRequest g_request{};
bool g_bShown = false;

std::atomic<bool> g_bHasMain{false};
pthread_t g_mainThread;
std::atomic<bool> g_bCloseRequested{false};
std::atomic<int> g_nLastXError{0};

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

// A host window may vanish at any moment; a request on it must then fail quietly instead of ending the
// process as Xlib's default handler does.
int OnXError(Display* pDisplay, XErrorEvent* pEvent) {
    // SDL's own connection shares the handler; only our connection's errors answer our questions.
    if (pDisplay == g_pXDisplay) {
        g_nLastXError.store(pEvent->error_code);
    }
    return 0;
}

// The X server went away (it ended, or the session was closed): nothing can be drawn or received any
// more, and Xlib's default handler would run exit() with the render and timer threads still running.
// The run ends at once as after any other error; the synthesizer is in this process, so no note can
// keep sounding after it.
int OnXIOError(Display*) {
    DebugPrint("%s", "ディスプレイとの接続が切れました。\n");
    _exit(0);
}

// The main thread, or any thread holding g_mutex.
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

void Wake() {
    if (g_dwWakeEvent != 0) {
        SDL_Event event{};
        event.type = g_dwWakeEvent;
        SDL_PushEvent(&event);
    }
}

bool EnsureVideo() {
    if (g_bVideo) {
        return true;
    }
    // The program handles SIGINT and SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Trace("SdlHost: no video (%s).\n", SDL_GetError());
        return false;
    }
    // After SDL's own, which would end the process on the first error from a vanished host window.
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIOError);
    g_dwWakeEvent = SDL_RegisterEvents(1);
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

HostWindow* Register(HostWindow* pWindow, const WindowClass& wc) {
    pWindow->pfnProc = wc.pfnWndProc;
    pWindow->hWnd = SDL_GetWindowID(pWindow->pWindow);
    pWindow->pRenderer = SDL_CreateRenderer(pWindow->pWindow, -1, 0);
    if (pWindow->pRenderer == nullptr) {
        Trace("SdlHost: no renderer (%s).\n", SDL_GetError());
        return nullptr;
    }
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(pWindow->pRenderer, &info) == 0) {
        Trace("SdlHost: renderer %s.\n", info.name);
    }
    UpdateClientSize(pWindow);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_windows.push_back(pWindow);
    g_live.push_back(pWindow->hWnd);
    return pWindow;
}

// Frees what the window holds; its procedure has already seen WMSG_DESTROY (or is gone with the program).
void Free(HostWindow* pWindow) {
    if (pWindow->dwShown > 1) {
        const double dSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - pWindow->firstShown).count();
        Trace("SdlHost: %u frames shown in %.2f s (%.1f per second).\n", pWindow->dwShown, dSeconds,
              (pWindow->dwShown - 1) / dSeconds);
    }
    {
        // Other threads read the list (client size, mode) under the lock.
        std::lock_guard<std::mutex> lock(g_mutex);
        std::erase(g_live, pWindow->hWnd);
        std::erase(g_windows, pWindow);
    }
    if (pWindow->pTexture != nullptr) {
        SDL_DestroyTexture(pWindow->pTexture);
    }
    if (pWindow->pRenderer != nullptr) {
        SDL_DestroyRenderer(pWindow->pRenderer);
    }
    if (pWindow->pWindow != nullptr) {
        SDL_DestroyWindow(pWindow->pWindow); // a foreign window stays; ours below
    }
    if (pWindow->xChild != 0 && !pWindow->bHostGone && g_pXDisplay != nullptr) {
        XDestroyWindow(g_pXDisplay, pWindow->xChild);
        XSync(g_pXDisplay, False);
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

void Post(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (IsLive(hWnd)) {
        g_queue.push_back(WindowMsg{hWnd, uMsg, wParam, lParam});
    }
}

intptr_t PointParam(int32_t nX, int32_t nY) {
    return static_cast<intptr_t>((static_cast<uint32_t>(nX) & 0xFFFF) |
                                 ((static_cast<uint32_t>(nY) & 0xFFFF) << 16));
}

// The MK_* flags that Windows puts in wParam of mouse messages.
uintptr_t MouseKeys(uint32_t dwButtons) {
    const SDL_Keymod mod = SDL_GetModState();
    uintptr_t wKeys = 0;
    wKeys |= (dwButtons & SDL_BUTTON_LMASK) != 0 ? 0x01 : 0;
    wKeys |= (dwButtons & SDL_BUTTON_RMASK) != 0 ? 0x02 : 0;
    wKeys |= (mod & KMOD_SHIFT) != 0 ? 0x04 : 0;
    wKeys |= (mod & KMOD_CTRL) != 0 ? 0x08 : 0;
    wKeys |= (dwButtons & SDL_BUTTON_MMASK) != 0 ? 0x10 : 0;
    return wKeys;
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
        Post(event.key.windowID, KeyMessageOf(event.key.keysym.sym, event.key.keysym.mod),
             VirtualKeyOf(event.key.keysym.sym), 0);
        break;
    case SDL_MOUSEMOTION:
        Post(event.motion.windowID, WMSG_MOUSEMOVE, MouseKeys(event.motion.state),
             PointParam(event.motion.x, event.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN: {
        const uint32_t dwButtons = SDL_GetMouseState(nullptr, nullptr);
        const intptr_t lParam = PointParam(event.button.x, event.button.y);
        if (event.button.button == SDL_BUTTON_LEFT) {
            Post(event.button.windowID, WMSG_LBUTTONDOWN, MouseKeys(dwButtons), lParam);
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            Post(event.button.windowID, WMSG_RBUTTONDOWN, MouseKeys(dwButtons), lParam);
        } else if (event.button.button == SDL_BUTTON_MIDDLE) {
            Post(event.button.windowID, WMSG_MBUTTONDOWN, MouseKeys(dwButtons), lParam);
        }
        break;
    }
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            Post(event.window.windowID, WMSG_CLOSE, 0, 0);
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            if (HostWindow* pWindow = Find(event.window.windowID)) {
                UpdateClientSize(pWindow);
            }
        }
        break;
    default:
        break;
    }
}

// SDL reports nothing when a foreign window disappears; our own connection watches the host and the
// child for DestroyNotify.
void PumpX() {
    if (g_pXDisplay == nullptr) {
        return;
    }
    while (XPending(g_pXDisplay) > 0) {
        XEvent event;
        XNextEvent(g_pXDisplay, &event);
        if (event.type != DestroyNotify) {
            continue;
        }
        for (HostWindow* pWindow : g_windows) {
            if (event.xdestroywindow.window == pWindow->xHost ||
                event.xdestroywindow.window == pWindow->xChild) {
                pWindow->bHostGone = true;
            }
        }
    }
}

bool Draw(const PresentRequest& request) {
    HostWindow* pWindow = Find(request.hWnd);
    if (pWindow == nullptr || pWindow->bHostGone) {
        return false;
    }
    const SurfaceContext& source = request.source;
    if (pWindow->pTexture == nullptr || pWindow->textureFormat != source.format ||
        pWindow->nTextureWidth != source.nWidth || pWindow->nTextureHeight != source.nHeight) {
        if (pWindow->pTexture != nullptr) {
            SDL_DestroyTexture(pWindow->pTexture);
        }
        const uint32_t dwFormat =
            source.format == PRESENT_RGB565 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        pWindow->pTexture = SDL_CreateTexture(pWindow->pRenderer, dwFormat, SDL_TEXTUREACCESS_STREAMING,
                                              source.nWidth, source.nHeight);
        if (pWindow->pTexture == nullptr) {
            return false;
        }
        SDL_SetTextureScaleMode(pWindow->pTexture, SDL_ScaleModeNearest);
        pWindow->textureFormat = source.format;
        pWindow->nTextureWidth = source.nWidth;
        pWindow->nTextureHeight = source.nHeight;
    }
    SDL_UpdateTexture(pWindow->pTexture, nullptr, source.pPixels, source.nPitch);
    SDL_SetRenderDrawColor(pWindow->pRenderer, 0, 0, 0, 255);
    SDL_RenderClear(pWindow->pRenderer);
    if (request.bFullScreen) {
        SDL_RenderCopy(pWindow->pRenderer, pWindow->pTexture, nullptr, nullptr);
    } else {
        const SDL_Rect src{request.src.left, request.src.top, request.src.right - request.src.left,
                           request.src.bottom - request.src.top};
        const SDL_Rect dst{request.dst.left, request.dst.top, request.dst.right - request.dst.left,
                           request.dst.bottom - request.dst.top};
        if (dst.w > 0 && dst.h > 0) {
            SDL_RenderCopy(pWindow->pRenderer, pWindow->pTexture, &src, &dst);
        }
    }
    SDL_RenderPresent(pWindow->pRenderer);
    if (pWindow->dwShown++ == 0) {
        pWindow->firstShown = std::chrono::steady_clock::now();
    }
    return true;
}

// Main thread: shows the picture handed over, if there is one.
void ServePresent() {
    PresentRequest request;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_presentState != PRESENT_PENDING) {
            return;
        }
        g_presentState = PRESENT_SERVING;
        request = g_request;
    }
    PumpX();
    const bool bShown = Draw(request);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_presentState = PRESENT_IDLE;
    g_bShown = bShown;
    g_cvDone.notify_all();
}

} // namespace

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
    if (g_pXDisplay == nullptr) {
        g_pXDisplay = XOpenDisplay(nullptr);
        if (g_pXDisplay == nullptr) {
            return 0;
        }
    }
    Display* pDisplay = g_pXDisplay;
    const Window xHost = static_cast<Window>(hParent);
    g_nLastXError.store(0);
    XWindowAttributes host{};
    if (XGetWindowAttributes(pDisplay, xHost, &host) == 0 || g_nLastXError.load() != 0) {
        return 0;
    }
    const int nScreen = XScreenNumberOfScreen(host.screen);
    const Window xChild =
        XCreateSimpleWindow(pDisplay, xHost, 0, 0, static_cast<unsigned>(host.width > 0 ? host.width : 1),
                            static_cast<unsigned>(host.height > 0 ? host.height : 1), 0,
                            BlackPixel(pDisplay, nScreen), BlackPixel(pDisplay, nScreen));
    XSelectInput(pDisplay, xHost, StructureNotifyMask);
    XSelectInput(pDisplay, xChild, StructureNotifyMask);
    XStoreName(pDisplay, xChild, pszTitle);
    XMapWindow(pDisplay, xChild);
    XSync(pDisplay, False);
    if (g_nLastXError.load() != 0) {
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
    SDL_SetRenderDrawColor(pWindow->pRenderer, 0, 0, 0, 255);
    SDL_RenderClear(pWindow->pRenderer);
    SDL_RenderPresent(pWindow->pRenderer);
}

intptr_t PlatformDefWindowProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t, intptr_t) {
    if (uMsg == WMSG_CLOSE) {
        if (HostWindow* pWindow = Find(hWnd)) {
            Destroy(pWindow);
        }
    }
    return 0;
}

bool PlatformPostMessage(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!IsLive(hWnd)) {
            return false;
        }
        g_queue.push_back(WindowMsg{hWnd, uMsg, wParam, lParam});
    }
    Wake();
    return true;
}

void PlatformPostQuitMessage(int32_t nExitCode) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_bQuit = true;
    g_nQuitCode = nExitCode;
}

int32_t PlatformGetMessage(WindowMsg* pMsg) {
    if (!g_bVideo) {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_queue.empty() && !g_bQuit) {
            return -1; // no window, nothing could ever arrive
        }
    }
    for (;;) {
        ServePresent();
        PumpX();
        // A destroyed host window takes our child with it: the window ends as if destroyed by us.
        for (HostWindow* pWindow : std::vector<HostWindow*>(g_windows)) {
            if (pWindow->bHostGone) {
                Destroy(pWindow);
            }
        }
        if (g_bCloseRequested.exchange(false)) {
            std::lock_guard<std::mutex> lock(g_mutex);
            for (WindowHandle hWnd : g_live) {
                g_queue.push_back(WindowMsg{hWnd, WMSG_CLOSE, 0, 0});
            }
        }
        SDL_Event event;
        while (g_bVideo && SDL_PollEvent(&event) != 0) {
            Translate(event);
        }
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (!g_queue.empty()) {
                *pMsg = g_queue.front();
                g_queue.pop_front();
                return 1;
            }
            if (g_bQuit) {
                g_bQuit = false;
                *pMsg = WindowMsg{0, 0, static_cast<uintptr_t>(g_nQuitCode), 0};
                return 0;
            }
            if (g_presentState == PRESENT_PENDING) {
                continue;
            }
        }
        // Presents and posted messages wake the wait at once; the time-out bounds how late a destroyed
        // host window or a signal is noticed.
        if (SDL_WaitEventTimeout(&event, 10) != 0) {
            Translate(event);
        }
    }
}

intptr_t PlatformDispatchMessage(const WindowMsg& msg) {
    HostWindow* pWindow = Find(msg.hWnd);
    if (pWindow == nullptr || pWindow->pfnProc == nullptr) {
        return 0;
    }
    return pWindow->pfnProc(msg.hWnd, msg.uMsg, msg.wParam, msg.lParam);
}

bool PlatformFindWindow(const char* pszClassName, const char* pszTitle) {
    return FindInstance(pszClassName, pszTitle);
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
    std::unique_lock<std::mutex> lock(g_mutex);
    if (!IsLive(request.hWnd) || g_presentState != PRESENT_IDLE) {
        return false;
    }
    g_request = request;
    g_presentState = PRESENT_PENDING;
    lock.unlock();
    g_cvRequest.notify_all();
    Wake();
    lock.lock();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (g_presentState != PRESENT_IDLE) {
        if (g_cvDone.wait_until(lock, deadline) == std::cv_status::timeout &&
            g_presentState == PRESENT_PENDING) {
            // The main thread is busy elsewhere: take the picture back, so that its buffer is ours again.
            g_presentState = PRESENT_IDLE;
            return false;
        }
    }
    return g_bShown;
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
    SDL_RenderSetLogicalSize(pWindow->pRenderer, nWidth, nHeight);
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    std::unique_lock<std::mutex> lock(g_mutex);
    for (;;) {
        if (g_presentState == PRESENT_PENDING) {
            lock.unlock();
            ServePresent();
            lock.lock();
            continue;
        }
        if (g_cvRequest.wait_until(lock, deadline) == std::cv_status::timeout &&
            g_presentState != PRESENT_PENDING) {
            return;
        }
    }
}

bool SdlHostRequestCloseFromSignal() {
    if (!g_bHasMain.load()) {
        return false;
    }
    g_bCloseRequested.store(true);
    return true;
}

void SdlHostShutdown() {
    while (!g_windows.empty()) {
        Free(g_windows.back());
    }
    if (g_pXDisplay != nullptr) {
        XCloseDisplay(g_pXDisplay);
        g_pXDisplay = nullptr;
    }
    if (g_bVideo) {
        // All of SDL: its D-Bus connection, opened with the video system, is closed only by SDL_Quit.
        SDL_Quit();
        g_bVideo = false;
    }
}

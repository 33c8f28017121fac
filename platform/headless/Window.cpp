#include "platform/Window.h"
#include "platform/headless/Window.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace {

// Posted by HeadlessDestroyHostWindow; handled inside PlatformGetMessage, never dispatched.
constexpr uint32_t kHostDestroyed = 0xFFFF0001;

struct Window {
    WindowProc pfnProc; // null for a host window
    std::string className;
    std::string title;
    uint8_t bMode; // 0 for a host window
    WindowHandle hParent;
    void* pData;
    int32_t nWidth;
    int32_t nHeight;
    bool bAlive;
};

std::mutex g_lock;
std::condition_variable g_posted;
std::map<std::string, WindowProc> g_classes;
std::map<WindowHandle, Window> g_windows;
std::deque<WindowMsg> g_queue;
bool g_bQuit = false;
int32_t g_nQuitCode = 0;
WindowHandle g_hNext = 0x10010;
int32_t g_nScreenWidth = 640;
int32_t g_nScreenHeight = 480;

WindowHandle AddWindow(const Window& window) {
    const WindowHandle hWnd = g_hNext;
    g_hNext += 0x10;
    g_windows[hWnd] = window;
    return hWnd;
}

Window* Find(WindowHandle hWnd) {
    const auto it = g_windows.find(hWnd);
    return it == g_windows.end() || !it->second.bAlive ? nullptr : &it->second;
}

// The window procedure gets WMSG_DESTROY while the window still exists; then it is gone.
void DestroyWindow(WindowHandle hWnd) {
    WindowProc pfnProc = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        Window* pWindow = Find(hWnd);
        if (pWindow == nullptr) {
            return;
        }
        pfnProc = pWindow->pfnProc;
    }
    if (pfnProc != nullptr) {
        pfnProc(hWnd, WMSG_DESTROY, 0, 0);
    }
    std::lock_guard<std::mutex> lock(g_lock);
    if (Window* pWindow = Find(hWnd)) {
        pWindow->bAlive = false;
    }
}

} // namespace

bool PlatformRegisterClass(const WindowClass& wc) {
    if (wc.pfnWndProc == nullptr || wc.pszClassName == nullptr || wc.pszClassName[0] == '\0') {
        return false;
    }
    std::lock_guard<std::mutex> lock(g_lock);
    g_classes[wc.pszClassName] = wc.pfnWndProc;
    return true;
}

WindowHandle PlatformCreateMainWindow(const char* pszClassName, const char* pszTitle, uint8_t bWinMode,
                                      int32_t nWidth, int32_t nHeight) {
    std::lock_guard<std::mutex> lock(g_lock);
    const auto it = g_classes.find(pszClassName);
    if (it == g_classes.end() || (bWinMode != 1 && bWinMode != 2)) {
        return 0;
    }
    if (bWinMode == 1) {
        nWidth = g_nScreenWidth;
        nHeight = g_nScreenHeight;
    }
    return AddWindow(Window{it->second, pszClassName, pszTitle, bWinMode, 0, nullptr, nWidth, nHeight, true});
}

WindowHandle PlatformCreatePreviewWindow(const char* pszClassName, const char* pszTitle,
                                         WindowHandle hParent) {
    std::lock_guard<std::mutex> lock(g_lock);
    const auto it = g_classes.find(pszClassName);
    const Window* pParent = Find(hParent);
    if (it == g_classes.end() || pParent == nullptr) {
        return 0;
    }
    const int32_t nWidth = pParent->nWidth;
    const int32_t nHeight = pParent->nHeight;
    return AddWindow(Window{it->second, pszClassName, pszTitle, 3, hParent, nullptr, nWidth, nHeight, true});
}

void PlatformSetWindowData(WindowHandle hWnd, void* pData) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (Window* pWindow = Find(hWnd)) {
        pWindow->pData = pData;
    }
}

void* PlatformGetWindowData(WindowHandle hWnd) {
    std::lock_guard<std::mutex> lock(g_lock);
    const Window* pWindow = Find(hWnd);
    return pWindow == nullptr ? nullptr : pWindow->pData;
}

void PlatformUpdateWindow(WindowHandle) {}

intptr_t PlatformDefWindowProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t, intptr_t) {
    if (uMsg == WMSG_CLOSE) {
        DestroyWindow(hWnd);
    }
    return 0;
}

bool PlatformPostMessage(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        if (Find(hWnd) == nullptr) {
            return false;
        }
        g_queue.push_back(WindowMsg{hWnd, uMsg, wParam, lParam});
    }
    g_posted.notify_all();
    return true;
}

void PlatformPostQuitMessage(int32_t nExitCode) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_bQuit = true;
        g_nQuitCode = nExitCode;
    }
    g_posted.notify_all();
}

int32_t PlatformGetMessage(WindowMsg* pMsg) {
    for (;;) {
        std::unique_lock<std::mutex> lock(g_lock);
        g_posted.wait(lock, [] { return !g_queue.empty() || g_bQuit; });
        if (g_queue.empty()) {
            // The quit message comes only after everything posted before it.
            g_bQuit = false;
            *pMsg = WindowMsg{0, 0, static_cast<uintptr_t>(static_cast<intptr_t>(g_nQuitCode)), 0};
            return 0;
        }
        const WindowMsg msg = g_queue.front();
        g_queue.pop_front();
        if (msg.uMsg == kHostDestroyed) {
            std::vector<WindowHandle> children;
            for (const auto& [hWnd, window] : g_windows) {
                if (window.bAlive && window.hParent == msg.hWnd) {
                    children.push_back(hWnd);
                }
            }
            lock.unlock();
            for (WindowHandle hChild : children) {
                DestroyWindow(hChild);
            }
            continue;
        }
        // Messages of a window destroyed after they were posted go with it.
        if (Find(msg.hWnd) == nullptr) {
            continue;
        }
        *pMsg = msg;
        return 1;
    }
}

intptr_t PlatformDispatchMessage(const WindowMsg& msg) {
    WindowProc pfnProc = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        const Window* pWindow = Find(msg.hWnd);
        if (pWindow == nullptr) {
            return 0;
        }
        pfnProc = pWindow->pfnProc;
    }
    return pfnProc == nullptr ? 0 : pfnProc(msg.hWnd, msg.uMsg, msg.wParam, msg.lParam);
}

bool PlatformFindWindow(const char* pszClassName, const char* pszTitle) {
    std::lock_guard<std::mutex> lock(g_lock);
    for (const auto& [hWnd, window] : g_windows) {
        // Top-level windows of the program only: a preview child does not count.
        if (window.bAlive && (window.bMode == 1 || window.bMode == 2) && window.className == pszClassName &&
            window.title == pszTitle) {
            return true;
        }
    }
    return false;
}

void HeadlessResetWindows() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_classes.clear();
    g_windows.clear();
    g_queue.clear();
    g_bQuit = false;
    g_nQuitCode = 0;
    g_nScreenWidth = 640;
    g_nScreenHeight = 480;
}

void HeadlessSetScreenSize(int32_t nWidth, int32_t nHeight) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_nScreenWidth = nWidth;
    g_nScreenHeight = nHeight;
}

WindowHandle HeadlessCreateHostWindow(int32_t nWidth, int32_t nHeight) {
    std::lock_guard<std::mutex> lock(g_lock);
    return AddWindow(Window{nullptr, "", "", 0, 0, nullptr, nWidth, nHeight, true});
}

void HeadlessDestroyHostWindow(WindowHandle hHost) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        Window* pHost = Find(hHost);
        if (pHost == nullptr) {
            return;
        }
        pHost->bAlive = false;
        g_queue.push_back(WindowMsg{hHost, kHostDestroyed, 0, 0});
    }
    g_posted.notify_all();
}

std::vector<WindowMsg> HeadlessQueuedMessages() {
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<WindowMsg> messages;
    for (const WindowMsg& msg : g_queue) {
        if (msg.uMsg != kHostDestroyed) {
            messages.push_back(msg);
        }
    }
    return messages;
}

bool HeadlessWindowAlive(WindowHandle hWnd) {
    std::lock_guard<std::mutex> lock(g_lock);
    return Find(hWnd) != nullptr;
}

uint8_t HeadlessWindowMode(WindowHandle hWnd) {
    std::lock_guard<std::mutex> lock(g_lock);
    const Window* pWindow = Find(hWnd);
    return pWindow == nullptr ? 0 : pWindow->bMode;
}

bool HeadlessWindowClientSize(WindowHandle hWnd, int32_t* pnWidth, int32_t* pnHeight) {
    std::lock_guard<std::mutex> lock(g_lock);
    const Window* pWindow = Find(hWnd);
    if (pWindow == nullptr) {
        return false;
    }
    *pnWidth = pWindow->nWidth;
    *pnHeight = pWindow->nHeight;
    return true;
}

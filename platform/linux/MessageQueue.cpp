// The message queue of the Linux window host: messages posted from any thread, SDL's input and window
// events turned into the framework's, close requests from signals, and the presents served while the main
// thread waits for a message.
#include "platform/linux/KeyMap.h"
#include "platform/linux/MainWait.h"
#include "platform/linux/Present.h"
#include "platform/linux/Window.h"
#include "platform/linux/WindowList.h"
#include "platform/linux/X11MainConnection.h"

#include <deque>

using namespace sdlhost;

namespace {

// Under g_mutex.
std::deque<WindowMsg> g_queue;
bool g_bQuit = false;
int32_t g_nQuitCode = 0;

std::atomic<bool> g_bCloseRequested{false};

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

// A cover's input and close requests are its main window's: a cover going alone would show its output's
// desktop beside the run, and input on any output counts for the close rules.
void Post(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (const HostWindow* pWindow = Find(hWnd); pWindow != nullptr && pWindow->hOwner != 0) {
        hWnd = pWindow->hOwner;
    }
    if (FindLive(hWnd) != nullptr) {
        g_queue.push_back(WindowMsg{hWnd, uMsg, wParam, lParam});
    }
}

void Translate(const SDL_Event& event) {
    WindowMsg msg{};
    if (InputMessageOf(event, &msg)) {
        Post(msg.hWnd, msg.uMsg, msg.wParam, msg.lParam);
        return;
    }
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            Post(event.window.windowID, WMSG_CLOSE, 0, 0);
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            if (HostWindow* pWindow = Find(event.window.windowID)) {
                UpdateClientSize(pWindow);
            }
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            if (HostWindow* pWindow = Find(event.window.windowID)) {
                pWindow->bBarsLost.store(true); // what the server lost, bars included
            }
        }
        break;
    default:
        break;
    }
}

} // namespace

bool PlatformPostMessage(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (FindLive(hWnd) == nullptr) {
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
    // The first round looks at everything; later ones only at the connections that have something to
    // read, since asking an idle X connection is a system call each time.
    WaitResult ready{true, true};
    for (;;) {
        ServePresent();
        if (ready.bOurInput || X11HasQueued()) {
            TakeWindowChanges();
        }
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
        if (g_bVideo) {
            if (ready.bSdlInput || SdlHasQueuedX()) {
                SDL_PumpEvents();
                EndIfCompositorGone();
            }
            SDL_Event event;
            while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
                Translate(event);
            }
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
            if (PresentPendingLocked()) {
                ready = WaitResult{};
                continue;
            }
        }
        // Presents, posted messages, signals and the X server's events wake the wait at once; the time-out
        // only bounds how long SDL goes without a look at its other sources.
        ready = WaitForWork(100);
    }
}

intptr_t PlatformDispatchMessage(const WindowMsg& msg) {
    HostWindow* pWindow = Find(msg.hWnd);
    if (pWindow == nullptr || pWindow->pfnProc == nullptr) {
        return 0;
    }
    return pWindow->pfnProc(msg.hWnd, msg.uMsg, msg.wParam, msg.lParam);
}

bool SdlHostRequestCloseFromSignal() {
    if (!g_bHasMain.load()) {
        return false;
    }
    g_bCloseRequested.store(true);
    WakeFromSignal();
    return true;
}

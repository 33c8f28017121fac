// The Linux window host's windows, shared by its two halves: Window.cpp (making, keeping and ending the
// windows, and their presents) and MessageQueue.cpp (their messages). Main thread unless said otherwise.
#pragma once

#include "platform/linux/Present.h"

#include <SDL.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace sdlhost {

struct HostWindow {
    WindowHandle hWnd = 0;
    uint8_t bMode = 0;
    WindowProc pfnProc = nullptr;
    void* pData = nullptr;
    SDL_Window* pWindow = nullptr;
    SDL_Renderer* pRenderer = nullptr;
    PictureTarget picture;
    unsigned long xChild = 0; // preview: our X11 window inside the host's
    unsigned long xHost = 0;
    unsigned long xWindow = 0; // the X11 window drawn into (SDL's own, or the preview's child)
    // Written by the main thread, read by the render thread's direct presents (under g_mutex).
    std::atomic<bool> bHostGone{
        false};             // the host window was destroyed: draw nothing, destroy at the next message
    bool bUnmapped = false; // the window, or a preview's host, is not mapped
    bool bCovered = false;  // the window is fully covered
    std::atomic<bool> bPaused{false};   // pictures are not shown, for one of the two reasons above
    std::atomic<bool> bBarsLost{false}; // the window's contents were lost: paint the bars again
    bool bDirectRefused = false;        // surface path: pictures go through the main thread (under g_mutex)
    int nLockFd = -1;                   // top-level: the single-instance lock
    std::atomic<int32_t> nClientWidth{0};
    std::atomic<int32_t> nClientHeight{0};
};

// Guards the changes of g_windows (made by the main thread, read by others under it), g_live, the message
// queue and the hand-over of presents.
extern std::mutex g_mutex;
extern std::vector<HostWindow*> g_windows;
extern std::vector<WindowHandle> g_live; // windows that messages may be posted to
extern bool g_bVideo;
extern std::atomic<bool> g_bHasMain; // any thread: a window was made, so the main thread is known

// The main thread, or any thread holding g_mutex.
HostWindow* Find(WindowHandle hWnd);
// Holding g_mutex.
bool IsLive(WindowHandle hWnd);
// Any thread: wakes the main thread's wait for events.
void Wake();
// From a signal handler: the same, where the wait is on descriptors (async-signal-safe).
void WakeFromSignal();
void UpdateClientSize(HostWindow* pWindow);
// Sends WMSG_DESTROY to the window's procedure while the window still exists, then frees it.
void Destroy(HostWindow* pWindow);
// Waits up to dwMilliseconds for input from the X server (SDL's connection or ours) or a wake from
// another thread; says which connections may have something to read.
struct WaitResult {
    bool bSdlInput = false;
    bool bOurInput = false;
};
WaitResult WaitForWork(uint32_t dwMilliseconds);
// Events SDL has read from its connection and not yet turned into its own (no call to the server).
bool SdlHasQueuedX();
// Notes the host windows destroyed, and the windows unmapped or covered, since the last call.
void PumpX();
// Shows the picture handed over, if there is one.
void ServePresent();
// Holding g_mutex: a picture waits to be shown.
bool PresentPendingLocked();

} // namespace sdlhost

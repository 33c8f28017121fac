// The Linux window host's windows, shared by the files that serve them: Window.cpp (making, keeping and
// ending them), MessageQueue.cpp (their messages) and the present module (Present.cpp, their pictures).
// Main thread unless said otherwise.
#pragma once

#include "platform/linux/Present.h"
#include "platform/linux/Window.h"

#include <SDL.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace sdlhost {

struct HostWindow {
    WindowHandle hWnd = 0;
    WindowMode mode = WINDOW_NONE;
    WindowProc pfnProc = nullptr;
    void* pData = nullptr;
    SDL_Window* pWindow = nullptr;
    SDL_Renderer* pRenderer = nullptr; // the texture path's
    PictureTarget picture;
    unsigned long xChild = 0; // preview: our X11 window inside the host's
    unsigned long xHost = 0;
    unsigned long xWindow = 0; // the X11 window drawn into (SDL's own, or the preview's child)
    void* wlDisplay = nullptr; // on Wayland: SDL's wl_display and the window's wl_surface
    void* wlSurface = nullptr;
    // Written by the main thread, read by the render thread's direct presents (under g_mutex).
    std::atomic<bool> bHostGone{
        false};             // the host window was destroyed: draw nothing, destroy at the next message
    bool bUnmapped = false; // the window, or a preview's host, is not mapped
    bool bCovered = false;  // the window is fully covered
    std::atomic<bool> bPaused{false};   // pictures are not shown, for one of the two reasons above
    std::atomic<bool> bBarsLost{false}; // the window's contents were lost: paint the bars again
    int nLockFd = -1;                   // top-level: the single-instance lock
    // Full screen where each output is a display of its own (Wayland): the windows over the other
    // outputs (changed under g_mutex), each with the hWnd of the window whose run it covers for.
    std::vector<HostWindow*> covers;
    WindowHandle hOwner = 0;
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

// The main thread, or any thread holding g_mutex: the window, or a cover of one.
HostWindow* Find(WindowHandle hWnd);
// Holding g_mutex: the window, while messages and pictures may go to it; nullptr otherwise.
HostWindow* FindLive(WindowHandle hWnd);
void UpdateClientSize(HostWindow* pWindow);
// Notes SDL's connection (and on X11 the window) for the main thread's wait and the window's pictures.
void Watch(HostWindow* pWindow);
// Sends WMSG_DESTROY to the window's procedure while the window still exists, then frees it.
void Destroy(HostWindow* pWindow);
// Notes the host windows destroyed, and the windows unmapped or covered, since the last call.
void TakeWindowChanges();
// Ends the process with its message when the Wayland compositor of a window has gone.
void EndIfCompositorGone();

} // namespace sdlhost

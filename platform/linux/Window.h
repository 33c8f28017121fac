// The Linux window host's inner interface, shared by the window, thread and presentation services of
// platform/linux. SDL2 allows video calls on the main thread only (the thread that created the first
// window), so the render thread never touches SDL: SdlHostPresent puts a finished picture on the screen
// over an X connection of the render thread's own, or hands it over and waits until the main thread, in
// PlatformGetMessage or PlatformSleep, has shown it (Present.h).
#pragma once

#include "platform/DisplayDevice.h"
#include "platform/Window.h"

#include <cstdint>

enum PresentFormat : uint32_t {
    PRESENT_RGB565,   // 16-bit 5-6-5
    PRESENT_XRGB8888, // 32-bit, bytes blue, green, red, unused
};

// The pixels behind a surface's drawing context (a DrawContext of a surface points at one).
struct SurfaceContext {
    const void* pPixels;
    int32_t nPitch;
    int32_t nWidth;
    int32_t nHeight;
    PresentFormat format;
};

// One picture handed over. Full screen: the whole source letterboxed to its aspect ratio (the window's
// logical size); otherwise the source rectangle stretched onto the destination rectangle of the client
// area.
struct PresentRequest {
    WindowHandle hWnd;
    SurfaceContext source;
    bool bFullScreen;
    ClientRect src; // left, top, right, bottom
    ClientRect dst;
};

// Render thread: shows the picture (itself on the surface path, else through the main thread) and
// returns once it has been shown. False when it was not shown: the window is gone, the connection failed,
// or the main thread did not take it within a second.
bool SdlHostPresent(const PresentRequest& request);
// Main thread: the refresh period of the window's display in nanoseconds (60 Hz when it is unknown).
uint64_t SdlHostRefreshPeriodNs(WindowHandle hWnd);
// Main thread: the size the window's picture is letterboxed from (0 x 0: none). False for no window.
bool SdlHostSetLogicalSize(WindowHandle hWnd, int32_t nWidth, int32_t nHeight);
// Any thread: the window's mode (1 full screen, 2 plain, 3 child of a host window); 0 for no window.
uint8_t SdlHostWindowMode(WindowHandle hWnd);
// Any thread: true on the main thread once a window was made.
bool SdlHostIsMainThread();
// Main thread: waits dwMilliseconds while serving the presents handed over meanwhile.
void SdlHostServeFor(uint32_t dwMilliseconds);
// Async-signal-safe: a close request for every window, taken by the next PlatformGetMessage. False
// when no window was ever made (the caller then ends the process its own way).
bool SdlHostRequestCloseFromSignal();
// Main thread, at the end of the program (after the music's output is closed): frees the windows still
// there and closes SDL.
void SdlHostShutdown();

// How the main thread sleeps and is woken: in poll() on SDL's X connection, the main thread's own one
// (X11MainConnection.h) and an eventfd that other threads write to, so that it wakes only for input,
// posted messages, pictures handed over and signals. An SDL event would do as a wake-up, but on X11 SDL
// wakes its wait by sending an event to itself through the X server: a round trip for every picture.
// On Wayland it waits the same way on SDL's Wayland connection. Where there is no connection to wait on
// (another video driver) it looks every 10 ms.
#pragma once

#include <cstdint>

namespace sdlhost {

// Main thread, once SDL's video has started.
void StartMainWait();
// Main thread: SDL's X connection (a Display*), for a window of SDL's on X11; waited on from then on.
void WaitOnSdlConnection(void* pSdlDisplay);
// Main thread: SDL's Wayland connection (a wl_display*), for a window of SDL's on Wayland; waited on from
// then on, reading with the connection's other readers (the render thread's queue) as they all must.
void WaitOnSdlWayland(void* pWlDisplay);
// Any thread: wakes the main thread's wait.
void Wake();
// From a signal handler: the same, where the wait is on descriptors (async-signal-safe).
void WakeFromSignal();
// Main thread: waits up to dwMilliseconds for input from the X server (SDL's connection or ours) or a
// wake from another thread; says which connections may have something to read.
struct WaitResult {
    bool bSdlInput = false;
    bool bOurInput = false;
};
WaitResult WaitForWork(uint32_t dwMilliseconds);
// Events SDL has read from its connection and not yet turned into its own (no call to the server).
bool SdlHasQueuedX();
// Main thread, before SDL_Quit: takes the X server's last answers on SDL's connection, closes the eventfd
// and forgets the connection.
void EndMainWait();

} // namespace sdlhost

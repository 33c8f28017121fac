// The Wayland side of showing a picture, where SDL's Wayland driver runs the window. SDL has no software
// framebuffer there, so the surface path puts our own pictures into the window's wl_surface: shared
// memory buffers (wl_shm) filled by our scaler on the render thread and committed by it, as MIT-SHM puts
// them on X11. The render thread has its own event queue on SDL's connection, so that the buffers'
// releases and the frame callbacks are dispatched there, never by SDL on the main thread, and no
// picture waits for the main thread.
//
// Each surface (the window's, and each of its covers' over the other outputs: Covers.h) has buffers and a
// frame callback of its own. A frame is drawn into a surface only when the compositor asked it for one
// (the frame callback of its last commit came):
// a window the compositor shows nowhere (another workspace, an output powered down) gets no pictures,
// as a covered X11 window gets none, and the picture comes back current when it is shown again.
#pragma once

#include "platform/linux/Present.h"

#include <cstdint>

namespace sdlhost {
struct HostWindow;
}

// Main thread: whether the compositor takes GPU buffers from clients (linux-dmabuf or wl_drm), without
// which a client's OpenGL can only run on the processor. pDisplay: SDL's wl_display.
bool WaylandCompositorTakesGpuBuffers(void* pDisplay);

// Render thread, holding the window host's lock (the window is live, on the surface path, with a
// wl_surface): the request's picture scaled into a free buffer of the window's size and committed, when
// the compositor has asked for a frame; else dropped. The same into each of the window's covers, at its
// own size. False when the connection failed.
bool DrawWayland(sdlhost::HostWindow* pWindow, const PresentRequest& request);
// Main thread holding the window host's lock, before a window's wl_surface is destroyed: the render
// thread's hold on it goes (its pending frame callback and its buffers with it).
void WaylandForgetSurface(void* pSurface);
// Main thread: SDL's connection to the compositor failed (the compositor ended, or the session closed).
bool WaylandConnectionLost(void* pDisplay);
// At the end of the program, after the render thread and before SDL closes its connection: frees the
// buffers and the render thread's queue.
void WaylandCloseDirect();

// The Wayland side of showing a picture, where SDL's Wayland driver runs the window. SDL has no software
// framebuffer there, so the surface path puts our own pictures into the window's wl_surface: shared
// memory buffers (wl_shm) filled by our scaler on the render thread and committed by it, as MIT-SHM puts
// them on X11. The render thread has its own event queue on SDL's connection, so that the buffers'
// releases and the frame callbacks are dispatched on it and the main thread is not woken for pictures.
//
// A frame is drawn only when the compositor asked for one (the frame callback of the last commit came):
// a window the compositor shows nowhere (another workspace, an output powered down) gets no pictures,
// as a covered X11 window gets none, and the picture comes back current when it is shown again.
#pragma once

#include "display/NearestScale.h"

#include <cstdint>

// Main thread: whether the compositor takes GPU buffers from clients (linux-dmabuf or wl_drm), without
// which a client's OpenGL can only run on the processor. pDisplay: SDL's wl_display.
bool WaylandCompositorTakesGpuBuffers(void* pDisplay);

// A buffer to draw the next picture into, from WaylandDirectBuffer.
struct WaylandBuffer {
    uint32_t* pPixels;
    int32_t nPitch; // bytes
    bool bBars;     // its contents are not the bars around dst: paint the whole buffer black first
};
enum WaylandBufferResult {
    WL_BUFFER_READY,
    WL_BUFFER_WAIT,   // the compositor has not asked for a frame, or holds every buffer: draw none now
    WL_BUFFER_FAILED, // the connection failed, or no memory can be had
};
// Render thread, holding the window host's lock (the window is live): a buffer of the window's size
// nWidth x nHeight, XRGB8888, for a picture at dst. pDisplay and pSurface: SDL's wl_display and the
// window's wl_surface.
WaylandBufferResult WaylandDirectBuffer(void* pDisplay, void* pSurface, int32_t nWidth, int32_t nHeight,
                                        const ScaleRect& dst, WaylandBuffer* pBuffer);
// Render thread, after WaylandDirectBuffer gave a buffer: attaches it with damage (the whole buffer when
// the bars were painted, else dst), asks for the next frame callback and commits. False when the
// connection failed.
bool WaylandDirectShow(bool bBars);
// Main thread holding the window host's lock, before the window's wl_surface is destroyed: the render
// thread's hold on it goes (its pending frame callback with it).
void WaylandForgetSurface(void* pSurface);
// At the end of the program, after the render thread and before SDL closes its connection: frees the
// buffers and the render thread's queue.
void WaylandCloseDirect();

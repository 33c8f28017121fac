#include "platform/linux/WaylandPresent.h"

#include "framework/Debug.h"
#include "platform/linux/WindowList.h"

#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Two buffers for the compositor to hold (the one shown, the one it has not released yet) and one to
// draw into.
constexpr int BUFFER_COUNT = 3;
// No frame callback for this long: the compositor shows the window nowhere (traced once until it does).
constexpr auto PAUSE_AFTER = std::chrono::seconds(1);

struct ShmBuffer {
    wl_buffer* pBuffer = nullptr;
    uint32_t* pPixels = nullptr;
    size_t nBytes = 0;
    bool bBusy = false;    // the compositor holds it until its release event
    bool bPainted = false; // the bars around painted are in it
    ScaleRect painted{0, 0, 0, 0};
};

// Render thread only (and WaylandCloseDirect after it).
wl_display* g_pDisplay = nullptr;
wl_event_queue* g_pQueue = nullptr;
wl_display* g_pDisplayWrapper = nullptr; // requests whose new objects' events go to g_pQueue
wl_registry* g_pRegistry = nullptr;
wl_shm* g_pShm = nullptr;
bool g_bFailed = false;                  // the connection failed, or the compositor offers no wl_shm
wl_surface* g_pSurface = nullptr;        // the window's, as SDL made it
wl_surface* g_pSurfaceWrapper = nullptr; // its frame callbacks come to g_pQueue
wl_callback* g_pFrame = nullptr;         // the frame callback of the last commit, until it comes
std::chrono::steady_clock::time_point g_committed;
bool g_bPausedTraced = false;
ShmBuffer g_buffers[BUFFER_COUNT];
int32_t g_nWidth = 0;
int32_t g_nHeight = 0;
ShmBuffer* g_pDrawing = nullptr; // from WaylandDirectBuffer to WaylandDirectShow
ScaleRect g_dst{0, 0, 0, 0};

void OnGlobal(void*, wl_registry* pRegistry, uint32_t dwName, const char* pszInterface, uint32_t) {
    if (std::strcmp(pszInterface, wl_shm_interface.name) == 0 && g_pShm == nullptr) {
        g_pShm = static_cast<wl_shm*>(wl_registry_bind(pRegistry, dwName, &wl_shm_interface, 1));
    }
}
void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener g_registryListener = {OnGlobal, OnGlobalRemove};

void OnRelease(void* pData, wl_buffer*) {
    static_cast<ShmBuffer*>(pData)->bBusy = false;
}
const wl_buffer_listener g_bufferListener = {OnRelease};

void OnFrameDone(void*, wl_callback* pCallback, uint32_t) {
    wl_callback_destroy(pCallback);
    g_pFrame = nullptr;
    if (g_bPausedTraced) {
        g_bPausedTraced = false;
        Trace("SdlHost: presents resumed.\n");
    }
}
const wl_callback_listener g_frameListener = {OnFrameDone};

void FreeBuffer(ShmBuffer& buffer) {
    if (buffer.pBuffer != nullptr) {
        wl_buffer_destroy(buffer.pBuffer); // the compositor keeps its own mapping of what it still shows
    }
    if (buffer.pPixels != nullptr) {
        munmap(buffer.pPixels, buffer.nBytes);
    }
    buffer = ShmBuffer{};
}

void FreeBuffers() {
    for (ShmBuffer& buffer : g_buffers) {
        FreeBuffer(buffer);
    }
    g_nWidth = 0;
    g_nHeight = 0;
}

// A buffer of the current size in its own pool: a memory file shared with the compositor.
bool MakeBuffer(ShmBuffer& buffer) {
    const int32_t nPitch = g_nWidth * 4;
    const size_t nBytes = static_cast<size_t>(nPitch) * static_cast<size_t>(g_nHeight);
    const int nFd = memfd_create("lumivorra-picture", MFD_CLOEXEC);
    if (nFd < 0) {
        return false;
    }
    void* pMemory = MAP_FAILED;
    if (ftruncate(nFd, static_cast<off_t>(nBytes)) == 0) {
        pMemory = mmap(nullptr, nBytes, PROT_READ | PROT_WRITE, MAP_SHARED, nFd, 0);
    }
    if (pMemory == MAP_FAILED) {
        close(nFd);
        return false;
    }
    wl_shm_pool* pPool = wl_shm_create_pool(g_pShm, nFd, static_cast<int32_t>(nBytes));
    buffer.pBuffer = wl_shm_pool_create_buffer(pPool, 0, g_nWidth, g_nHeight, nPitch, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pPool); // the buffer keeps the pool's memory
    close(nFd);
    buffer.pPixels = static_cast<uint32_t*>(pMemory);
    buffer.nBytes = nBytes;
    wl_buffer_add_listener(buffer.pBuffer, &g_bufferListener, &buffer);
    return true;
}

// Dispatches what has come for our queue, reading from the connection without waiting for it. Another
// thread that prepared to read (SDL's main thread in its wait) reads with us.
bool TakeEvents() {
    while (wl_display_prepare_read_queue(g_pDisplay, g_pQueue) != 0) {
        if (wl_display_dispatch_queue_pending(g_pDisplay, g_pQueue) < 0) {
            return false;
        }
    }
    wl_display_flush(g_pDisplay);
    pollfd fd{wl_display_get_fd(g_pDisplay), POLLIN, 0};
    if (poll(&fd, 1, 0) > 0) {
        if (wl_display_read_events(g_pDisplay) < 0) {
            return false;
        }
    } else {
        wl_display_cancel_read(g_pDisplay);
    }
    return wl_display_dispatch_queue_pending(g_pDisplay, g_pQueue) >= 0 &&
           wl_display_get_error(g_pDisplay) == 0;
}

// The queue and wl_shm, at the first picture; false when they cannot be had.
bool Open(wl_display* pDisplay) {
    if (g_pDisplay == pDisplay) {
        return !g_bFailed;
    }
    WaylandCloseDirect();
    g_pDisplay = pDisplay;
    g_pQueue = wl_display_create_queue(pDisplay);
    g_pDisplayWrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(pDisplay));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(g_pDisplayWrapper), g_pQueue);
    g_pRegistry = wl_display_get_registry(g_pDisplayWrapper);
    wl_registry_add_listener(g_pRegistry, &g_registryListener, nullptr);
    g_bFailed = wl_display_roundtrip_queue(pDisplay, g_pQueue) < 0 || g_pShm == nullptr;
    if (g_bFailed) {
        Trace("SdlHost: the compositor offers no shared memory for pictures.\n");
    }
    return !g_bFailed;
}

void ForgetSurface() {
    if (g_pFrame != nullptr) {
        wl_callback_destroy(g_pFrame); // its done, if it still comes, is dropped
        g_pFrame = nullptr;
    }
    if (g_pSurfaceWrapper != nullptr) {
        wl_proxy_wrapper_destroy(g_pSurfaceWrapper);
        g_pSurfaceWrapper = nullptr;
    }
    g_pSurface = nullptr;
    g_bPausedTraced = false;
    for (ShmBuffer& buffer : g_buffers) {
        buffer.bPainted = false;
    }
}

// A buffer to draw the next picture into, from DirectBuffer.
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

// A buffer of the window's size nWidth x nHeight, XRGB8888, for a picture at dst.
WaylandBufferResult DirectBuffer(void* pDisplay, void* pSurface, int32_t nWidth, int32_t nHeight,
                                 const ScaleRect& dst, WaylandBuffer* pBuffer) {
    g_pDrawing = nullptr;
    if (!Open(static_cast<wl_display*>(pDisplay)) || nWidth <= 0 || nHeight <= 0) {
        return WL_BUFFER_FAILED;
    }
    if (pSurface != g_pSurface) {
        // A window of its own (the old one, if any, is gone: its pending callback with it).
        ForgetSurface();
        g_pSurface = static_cast<wl_surface*>(pSurface);
        g_pSurfaceWrapper = static_cast<wl_surface*>(wl_proxy_create_wrapper(g_pSurface));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(g_pSurfaceWrapper), g_pQueue);
    }
    if (!TakeEvents()) {
        g_bFailed = true;
        return WL_BUFFER_FAILED;
    }
    if (g_pFrame != nullptr) {
        if (!g_bPausedTraced && std::chrono::steady_clock::now() - g_committed > PAUSE_AFTER) {
            g_bPausedTraced = true;
            Trace("SdlHost: presents paused (the compositor shows the window nowhere).\n");
        }
        return WL_BUFFER_WAIT;
    }
    if (nWidth != g_nWidth || nHeight != g_nHeight) {
        FreeBuffers();
        g_nWidth = nWidth;
        g_nHeight = nHeight;
    }
    ShmBuffer* pFree = nullptr;
    for (ShmBuffer& buffer : g_buffers) {
        if (buffer.pBuffer != nullptr && !buffer.bBusy) {
            pFree = &buffer;
            break;
        }
    }
    for (ShmBuffer& buffer : g_buffers) {
        if (pFree == nullptr && buffer.pBuffer == nullptr) {
            if (!MakeBuffer(buffer)) {
                FreeBuffer(buffer);
                return WL_BUFFER_FAILED;
            }
            pFree = &buffer;
        }
    }
    if (pFree == nullptr) {
        return WL_BUFFER_WAIT;
    }
    const bool bBars = !pFree->bPainted || pFree->painted.x != dst.x || pFree->painted.y != dst.y ||
                       pFree->painted.w != dst.w || pFree->painted.h != dst.h;
    pFree->bPainted = true;
    pFree->painted = dst;
    g_pDrawing = pFree;
    g_dst = dst;
    *pBuffer = WaylandBuffer{pFree->pPixels, g_nWidth * 4, bBars};
    return WL_BUFFER_READY;
}

// After DirectBuffer gave a buffer: attaches it with damage (the whole buffer when the bars were painted,
// else dst), asks for the next frame callback and commits. False when the connection failed.
bool DirectShow(bool bBars) {
    if (g_pDrawing == nullptr) {
        return false;
    }
    wl_surface_attach(g_pSurfaceWrapper, g_pDrawing->pBuffer, 0, 0);
    if (bBars) {
        wl_surface_damage_buffer(g_pSurfaceWrapper, 0, 0, g_nWidth, g_nHeight);
    } else {
        wl_surface_damage_buffer(g_pSurfaceWrapper, g_dst.x, g_dst.y, g_dst.w, g_dst.h);
    }
    g_pFrame = wl_surface_frame(g_pSurfaceWrapper);
    wl_callback_add_listener(g_pFrame, &g_frameListener, nullptr);
    wl_surface_commit(g_pSurfaceWrapper);
    g_pDrawing->bBusy = true;
    g_pDrawing = nullptr;
    g_committed = std::chrono::steady_clock::now();
    return wl_display_flush(g_pDisplay) >= 0 || errno == EAGAIN;
}

} // namespace

bool DrawWayland(sdlhost::HostWindow* pWindow, const PresentRequest& request) {
    PictureTarget& target = pWindow->picture;
    const int32_t nWidth = pWindow->nClientWidth.load();
    const int32_t nHeight = pWindow->nClientHeight.load();
    ScaleRect src{};
    ScaleRect dst{};
    if (!PictureRects(request, nWidth, nHeight, &src, &dst)) {
        return true;
    }
    WaylandBuffer buffer{};
    switch (DirectBuffer(pWindow->wlDisplay, pWindow->wlSurface, nWidth, nHeight, dst, &buffer)) {
    case WL_BUFFER_READY:
        break;
    case WL_BUFFER_WAIT:
        return true; // dropped: the compositor asks for the next one when it can show it
    case WL_BUFFER_FAILED:
        return false;
    }
    if (!target.bDirectTraced) {
        target.bDirectTraced = true;
        Trace("SdlHost: pictures go to the compositor from the render thread (wl_shm).\n");
    }
    if (buffer.bBars) {
        FillBlack(buffer.pPixels, buffer.nPitch, ScaleRect{0, 0, nWidth, nHeight});
    }
    if (dst.w > 0 && dst.h > 0) {
        const SurfaceContext& source = request.source;
        target.scaler.Scale(source.pPixels, source.nPitch,
                            source.format == PRESENT_RGB565 ? SCALE_RGB565 : SCALE_XRGB8888, src,
                            buffer.pPixels, buffer.nPitch, dst);
    }
    if (!DirectShow(buffer.bBars)) {
        return false;
    }
    NoteShown(target);
    return true;
}

void WaylandForgetSurface(void* pSurface) {
    if (pSurface == g_pSurface && g_pSurface != nullptr) {
        ForgetSurface();
    }
}

bool WaylandConnectionLost(void* pDisplay) {
    return wl_display_get_error(static_cast<wl_display*>(pDisplay)) != 0;
}

void WaylandCloseDirect() {
    if (g_pDisplay == nullptr) {
        return;
    }
    ForgetSurface();
    FreeBuffers();
    if (g_pShm != nullptr) {
        wl_shm_destroy(g_pShm);
        g_pShm = nullptr;
    }
    if (g_pRegistry != nullptr) {
        wl_registry_destroy(g_pRegistry);
        g_pRegistry = nullptr;
    }
    wl_proxy_wrapper_destroy(g_pDisplayWrapper);
    g_pDisplayWrapper = nullptr;
    wl_display_flush(g_pDisplay);
    wl_event_queue_destroy(g_pQueue);
    g_pQueue = nullptr;
    g_pDisplay = nullptr;
    g_bFailed = false;
    g_pDrawing = nullptr;
}

namespace {

// The main thread's look at the compositor's globals, on a queue of its own so that SDL's events stay
// where SDL dispatches them.
struct GpuGlobals {
    bool bFound = false;
};

void OnGpuGlobal(void* pData, wl_registry*, uint32_t, const char* pszInterface, uint32_t) {
    if (std::strcmp(pszInterface, "zwp_linux_dmabuf_v1") == 0 || std::strcmp(pszInterface, "wl_drm") == 0) {
        static_cast<GpuGlobals*>(pData)->bFound = true;
    }
}
const wl_registry_listener g_gpuListener = {OnGpuGlobal, OnGlobalRemove};

} // namespace

bool WaylandCompositorTakesGpuBuffers(void* pDisplay) {
    wl_display* pWlDisplay = static_cast<wl_display*>(pDisplay);
    if (pWlDisplay == nullptr) {
        return true; // not ours to judge: let OpenGL find out
    }
    wl_event_queue* pQueue = wl_display_create_queue(pWlDisplay);
    wl_display* pWrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(pWlDisplay));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(pWrapper), pQueue);
    wl_registry* pRegistry = wl_display_get_registry(pWrapper);
    GpuGlobals globals;
    wl_registry_add_listener(pRegistry, &g_gpuListener, &globals);
    const bool bAnswered = wl_display_roundtrip_queue(pWlDisplay, pQueue) >= 0;
    wl_registry_destroy(pRegistry);
    wl_proxy_wrapper_destroy(pWrapper);
    wl_event_queue_destroy(pQueue);
    return !bAnswered || globals.bFound;
}

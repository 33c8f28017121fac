#include "platform/linux/WaylandPresent.h"

#include "framework/Debug.h"
#include "platform/linux/WindowList.h"

#include <wayland-client.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

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

// One window's surface: its buffers, the frame callback of its last commit and its pause trace.
struct SurfaceState {
    wl_surface* pSurface = nullptr; // the window's, as SDL made it
    wl_surface* pWrapper = nullptr; // its frame callbacks come to g_pQueue
    wl_callback* pFrame = nullptr;  // the frame callback of the last commit, until it comes
    std::chrono::steady_clock::time_point committed;
    bool bPausedTraced = false;
    ShmBuffer buffers[BUFFER_COUNT];
    int32_t nWidth = 0;
    int32_t nHeight = 0;
    ShmBuffer* pDrawing = nullptr; // from DirectBuffer to DirectShow
    ScaleRect dst{0, 0, 0, 0};
};

// Render thread only (and the main thread under the window host's lock, and WaylandCloseDirect after
// the render thread).
wl_display* g_pDisplay = nullptr;
wl_event_queue* g_pQueue = nullptr;
wl_display* g_pDisplayWrapper = nullptr; // requests whose new objects' events go to g_pQueue
wl_registry* g_pRegistry = nullptr;
wl_shm* g_pShm = nullptr;
bool g_bFailed = false; // the connection failed, or the compositor offers no wl_shm
// One per window shown (a full-screen run over several outputs has one window on each); the listeners
// hold pointers to them, so they never move.
std::vector<std::unique_ptr<SurfaceState>> g_surfaces;

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

void OnFrameDone(void* pData, wl_callback* pCallback, uint32_t) {
    wl_callback_destroy(pCallback);
    SurfaceState* pState = static_cast<SurfaceState*>(pData);
    pState->pFrame = nullptr;
    if (pState->bPausedTraced) {
        pState->bPausedTraced = false;
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

void FreeBuffers(SurfaceState& state) {
    for (ShmBuffer& buffer : state.buffers) {
        FreeBuffer(buffer);
    }
    state.nWidth = 0;
    state.nHeight = 0;
}

// A buffer of nWidth x nHeight in its own pool: a memory file shared with the compositor.
bool MakeBuffer(ShmBuffer& buffer, int32_t nWidth, int32_t nHeight) {
    const int32_t nPitch = nWidth * 4;
    const size_t nBytes = static_cast<size_t>(nPitch) * static_cast<size_t>(nHeight);
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
    buffer.pBuffer = wl_shm_pool_create_buffer(pPool, 0, nWidth, nHeight, nPitch, WL_SHM_FORMAT_XRGB8888);
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

// The surface's state goes: its pending frame callback (whose done, if it still comes, is dropped), its
// wrapper and its buffers (the compositor keeps what it still shows).
void ForgetSurface(SurfaceState& state) {
    if (state.pFrame != nullptr) {
        wl_callback_destroy(state.pFrame);
    }
    if (state.pWrapper != nullptr) {
        wl_proxy_wrapper_destroy(state.pWrapper);
    }
    FreeBuffers(state);
}

SurfaceState& StateOf(wl_surface* pSurface) {
    for (const std::unique_ptr<SurfaceState>& pState : g_surfaces) {
        if (pState->pSurface == pSurface) {
            return *pState;
        }
    }
    g_surfaces.push_back(std::make_unique<SurfaceState>());
    SurfaceState& state = *g_surfaces.back();
    state.pSurface = pSurface;
    state.pWrapper = static_cast<wl_surface*>(wl_proxy_create_wrapper(pSurface));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(state.pWrapper), g_pQueue);
    return state;
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
WaylandBufferResult DirectBuffer(SurfaceState& state, int32_t nWidth, int32_t nHeight, const ScaleRect& dst,
                                 WaylandBuffer* pBuffer) {
    state.pDrawing = nullptr;
    if (state.pFrame != nullptr) {
        if (!state.bPausedTraced && std::chrono::steady_clock::now() - state.committed > PAUSE_AFTER) {
            state.bPausedTraced = true;
            Trace("SdlHost: presents paused (the compositor shows the window nowhere).\n");
        }
        return WL_BUFFER_WAIT;
    }
    if (nWidth != state.nWidth || nHeight != state.nHeight) {
        FreeBuffers(state);
        state.nWidth = nWidth;
        state.nHeight = nHeight;
    }
    ShmBuffer* pFree = nullptr;
    for (ShmBuffer& buffer : state.buffers) {
        if (buffer.pBuffer != nullptr && !buffer.bBusy) {
            pFree = &buffer;
            break;
        }
    }
    for (ShmBuffer& buffer : state.buffers) {
        if (pFree == nullptr && buffer.pBuffer == nullptr) {
            if (!MakeBuffer(buffer, nWidth, nHeight)) {
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
    state.pDrawing = pFree;
    state.dst = dst;
    *pBuffer = WaylandBuffer{pFree->pPixels, nWidth * 4, bBars};
    return WL_BUFFER_READY;
}

// After DirectBuffer gave a buffer: attaches it with damage (the whole buffer when the bars were painted,
// else dst), asks for the next frame callback and commits. False when the connection failed.
bool DirectShow(SurfaceState& state, bool bBars) {
    if (state.pDrawing == nullptr) {
        return false;
    }
    wl_surface_attach(state.pWrapper, state.pDrawing->pBuffer, 0, 0);
    if (bBars) {
        wl_surface_damage_buffer(state.pWrapper, 0, 0, state.nWidth, state.nHeight);
    } else {
        wl_surface_damage_buffer(state.pWrapper, state.dst.x, state.dst.y, state.dst.w, state.dst.h);
    }
    state.pFrame = wl_surface_frame(state.pWrapper);
    wl_callback_add_listener(state.pFrame, &g_frameListener, &state);
    wl_surface_commit(state.pWrapper);
    state.pDrawing->bBusy = true;
    state.pDrawing = nullptr;
    state.committed = std::chrono::steady_clock::now();
    return wl_display_flush(g_pDisplay) >= 0 || errno == EAGAIN;
}

// The request's picture into one window, if the compositor has asked it for a frame. False when the
// connection failed.
bool DrawInto(sdlhost::HostWindow* pWindow, const PresentRequest& request) {
    PictureTarget& target = pWindow->picture;
    const int32_t nWidth = pWindow->nClientWidth.load();
    const int32_t nHeight = pWindow->nClientHeight.load();
    ScaleRect src{};
    ScaleRect dst{};
    if (!PictureRects(request, nWidth, nHeight, &src, &dst) || nWidth <= 0 || nHeight <= 0) {
        return true;
    }
    SurfaceState& state = StateOf(static_cast<wl_surface*>(pWindow->wlSurface));
    WaylandBuffer buffer{};
    switch (DirectBuffer(state, nWidth, nHeight, dst, &buffer)) {
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
    // Each window scales for itself, also where another has the same size: from the small frame, which
    // stays in the cache, that costs no more than copying another window's buffer would.
    if (dst.w > 0 && dst.h > 0) {
        const SurfaceContext& source = request.source;
        target.scaler.Scale(source.pPixels, source.nPitch,
                            source.format == PRESENT_RGB565 ? SCALE_RGB565 : SCALE_XRGB8888, src,
                            buffer.pPixels, buffer.nPitch, dst);
    }
    if (!DirectShow(state, buffer.bBars)) {
        return false;
    }
    NoteShown(target);
    return true;
}

} // namespace

bool DrawWayland(sdlhost::HostWindow* pWindow, const PresentRequest& request) {
    if (!Open(static_cast<wl_display*>(pWindow->wlDisplay))) {
        return false;
    }
    if (!TakeEvents()) {
        g_bFailed = true;
        return false;
    }
    if (!DrawInto(pWindow, request)) {
        return false;
    }
    for (sdlhost::HostWindow* pCover : pWindow->covers) {
        if (pCover->wlSurface != nullptr && !DrawInto(pCover, request)) {
            return false;
        }
    }
    return true;
}

void WaylandForgetSurface(void* pSurface) {
    for (auto it = g_surfaces.begin(); it != g_surfaces.end(); ++it) {
        if ((*it)->pSurface == pSurface) {
            ForgetSurface(**it);
            g_surfaces.erase(it);
            return;
        }
    }
}

bool WaylandConnectionLost(void* pDisplay) {
    return wl_display_get_error(static_cast<wl_display*>(pDisplay)) != 0;
}

void WaylandCloseDirect() {
    if (g_pDisplay == nullptr) {
        return;
    }
    for (const std::unique_ptr<SurfaceState>& pState : g_surfaces) {
        ForgetSurface(*pState);
    }
    g_surfaces.clear();
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

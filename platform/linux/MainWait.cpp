#include "platform/linux/MainWait.h"

#include "platform/linux/X11MainConnection.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <wayland-client.h>

#include <atomic>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace sdlhost {

namespace {

uint32_t g_dwWakeEvent = 0;          // main thread only
Display* g_pSdlXDisplay = nullptr;   // main thread only
wl_display* g_pSdlWayland = nullptr; // main thread only
// Written by other threads to wake the main thread's wait.
std::atomic<int> g_nWakeFd{-1};
std::atomic<bool> g_bWaitsOnFds{false};

// Async-signal-safe: a write to the eventfd, errno kept.
void WriteWakeFd(int nWakeFd) {
    const int nErrno = errno;
    const uint64_t qwOne = 1;
    [[maybe_unused]] const ssize_t nWritten = write(nWakeFd, &qwOne, sizeof qwOne);
    errno = nErrno;
}

} // namespace

void StartMainWait() {
    g_dwWakeEvent = SDL_RegisterEvents(1);
    g_nWakeFd.store(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
}

void WaitOnSdlConnection(void* pSdlDisplay) {
    g_pSdlXDisplay = static_cast<Display*>(pSdlDisplay);
    g_bWaitsOnFds.store(g_pSdlXDisplay != nullptr);
}

void WaitOnSdlWayland(void* pWlDisplay) {
    g_pSdlWayland = static_cast<wl_display*>(pWlDisplay);
    g_bWaitsOnFds.store(g_pSdlWayland != nullptr);
}

void Wake() {
    const int nWakeFd = g_nWakeFd.load();
    if (nWakeFd >= 0 && g_bWaitsOnFds.load()) {
        WriteWakeFd(nWakeFd);
        return;
    }
    if (g_dwWakeEvent != 0) {
        SDL_Event event{};
        event.type = g_dwWakeEvent;
        SDL_PushEvent(&event);
    }
}

void WakeFromSignal() {
    const int nWakeFd = g_nWakeFd.load();
    if (nWakeFd >= 0) {
        WriteWakeFd(nWakeFd);
    }
}

bool SdlHasQueuedX() {
    return g_pSdlXDisplay != nullptr && XQLength(g_pSdlXDisplay) > 0;
}

namespace {

// Wayland: SDL's events already read wait in its queue, else the connection is read once it has something
// (SDL_PumpEvents then dispatches what came for SDL).
WaitResult WaitOnWayland(int nWakeFd, uint32_t dwMilliseconds) {
    if (wl_display_prepare_read(g_pSdlWayland) != 0) {
        return WaitResult{true, true};
    }
    wl_display_flush(g_pSdlWayland);
    pollfd fds[2] = {{nWakeFd, POLLIN, 0}, {wl_display_get_fd(g_pSdlWayland), POLLIN, 0}};
    const int nReady = poll(fds, 2, static_cast<int>(dwMilliseconds));
    if (nReady > 0 && fds[1].revents != 0) {
        wl_display_read_events(g_pSdlWayland); // a failed connection is seen by its error
    } else {
        wl_display_cancel_read(g_pSdlWayland);
    }
    if (nReady > 0 && (fds[0].revents & POLLIN) != 0) {
        uint64_t qwCount = 0;
        [[maybe_unused]] const ssize_t nRead = read(nWakeFd, &qwCount, sizeof qwCount);
    }
    return WaitResult{true, true};
}

} // namespace

WaitResult WaitForWork(uint32_t dwMilliseconds) {
    const int nWakeFd = g_nWakeFd.load();
    if (nWakeFd >= 0 && g_pSdlWayland != nullptr) {
        return WaitOnWayland(nWakeFd, dwMilliseconds);
    }
    if (nWakeFd < 0 || g_pSdlXDisplay == nullptr) {
        // Without descriptors to wait on, signals are only seen by looking: look often.
        SDL_WaitEventTimeout(nullptr, static_cast<int>(dwMilliseconds < 10 ? dwMilliseconds : 10));
        return WaitResult{true, true};
    }
    pollfd fds[3] = {
        {nWakeFd, POLLIN, 0}, {ConnectionNumber(g_pSdlXDisplay), POLLIN, 0}, {X11ConnectionFd(), POLLIN, 0}};
    const nfds_t nCount = fds[2].fd >= 0 ? 3 : 2;
    const int nReady = poll(fds, nCount, static_cast<int>(dwMilliseconds));
    if (nReady <= 0) {
        // Timed out (or interrupted): look at everything, as a wait without descriptors would.
        return WaitResult{true, true};
    }
    if ((fds[0].revents & POLLIN) != 0) {
        uint64_t qwCount = 0;
        [[maybe_unused]] const ssize_t nRead = read(nWakeFd, &qwCount, sizeof qwCount);
    }
    return WaitResult{fds[1].revents != 0, nCount == 3 && fds[2].revents != 0};
}

void EndMainWait() {
    if (g_pSdlXDisplay != nullptr) {
        // The answers to requests already made (a window destroyed behind SDL's back gives an error) go
        // to our error handler, not to Xlib's default one, which SDL puts back as it quits and which
        // would end the process.
        XSync(g_pSdlXDisplay, False);
    }
    g_bWaitsOnFds.store(false);
    g_pSdlXDisplay = nullptr;
    g_pSdlWayland = nullptr;
    g_dwWakeEvent = 0;
    const int nWakeFd = g_nWakeFd.exchange(-1);
    if (nWakeFd >= 0) {
        close(nWakeFd);
    }
}

} // namespace sdlhost

#include "platform/linux/Present.h"

#include "framework/Debug.h"
#include "platform/linux/PresentHandover.h"
#include "platform/linux/WaylandPresent.h"
#include "platform/linux/WindowList.h"
#include "platform/linux/X11Present.h"

#include <cstdio>
#include <cstring>
#include <time.h>
#include <unistd.h>

using namespace sdlhost;

namespace {

PresentHandover g_handover(g_mutex);

// Milliseconds since the process was started (its start time in /proc, to the kernel's clock tick), so
// that the time the loader spends mapping libraries counts too; -1 when it cannot be read.
long MillisecondsSinceExec() {
    std::FILE* pFile = std::fopen("/proc/self/stat", "r");
    if (pFile == nullptr) {
        return -1;
    }
    char szStat[1024] = {};
    const size_t nRead = std::fread(szStat, 1, sizeof szStat - 1, pFile);
    std::fclose(pFile);
    szStat[nRead] = '\0';
    // The fields after the command name, which may itself hold blanks and parentheses; the start time is
    // field 22, the 20th after it.
    const char* pszField = std::strrchr(szStat, ')');
    for (int nField = 0; pszField != nullptr && nField < 20; ++nField) {
        pszField = std::strchr(pszField + 1, ' ');
    }
    unsigned long long qwStartTicks = 0;
    timespec now{};
    if (pszField == nullptr || std::sscanf(pszField, "%llu", &qwStartTicks) != 1 ||
        clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        return -1;
    }
    const long long qwTicksPerSecond = sysconf(_SC_CLK_TCK);
    const long long qwNowMs = static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return static_cast<long>(qwNowMs - static_cast<long long>(qwStartTicks) * 1000 / qwTicksPerSecond);
}

// Render thread, holding g_mutex: the surface path without the main thread, straight to the X window.
enum DirectResult {
    DIRECT_SHOWN,    // shown (or nothing to show: the window's rectangles no longer fit)
    DIRECT_UNUSABLE, // not this way: hand the picture to the main thread
    DIRECT_REFUSED,  // the X server refused our requests into the window: the same, traced as such
    DIRECT_FAILED,   // the connection failed
};

// The request's picture scaled into X11DirectImage(nImage) at the size of dst, and its put at dst.
bool ScaleDirect(PictureTarget& target, const PresentRequest& request, const ScaleRect& src,
                 const ScaleRect& dst, uint32_t nImage, bool bScale, X11Put* pPut) {
    *pPut = X11Put{nImage, dst.x, dst.y};
    if (!bScale) {
        return true;
    }
    int32_t nPitch = 0;
    uint32_t* pPixels = X11DirectImage(nImage, dst.w, dst.h, &nPitch);
    if (pPixels == nullptr) {
        return false;
    }
    const SurfaceContext& source = request.source;
    target.scaler.Scale(source.pPixels, source.nPitch,
                        source.format == PRESENT_RGB565 ? SCALE_RGB565 : SCALE_XRGB8888, src, pPixels, nPitch,
                        ScaleRect{0, 0, dst.w, dst.h});
    return true;
}

DirectResult DrawDirect(HostWindow* pWindow, const PresentRequest& request) {
    PictureTarget& target = pWindow->picture;
    const int32_t nWidth = pWindow->nClientWidth.load();
    const int32_t nHeight = pWindow->nClientHeight.load();
    if (pWindow->xWindow == 0 || !X11DirectUsable(pWindow->xWindow)) {
        return DIRECT_UNUSABLE;
    }
    ScaleRect src{};
    ScaleRect dst{};
    if (!PictureRects(request, nWidth, nHeight, &src, &dst)) {
        return DIRECT_SHOWN;
    }
    // Over several monitors: each distinct size scaled once, put into every monitor of that size.
    std::vector<X11Put>& puts = target.puts;
    puts.clear();
    if (OverMonitors(target, request, nWidth, nHeight)) {
        const std::vector<MonitorPicture>& pictures = MonitorPictures(target, request.source);
        uint32_t nScaled = 0; // images are numbered as first met
        for (const MonitorPicture& picture : pictures) {
            const bool bScale = picture.nImage == nScaled;
            nScaled += bScale ? 1 : 0;
            puts.push_back(X11Put{});
            if (!ScaleDirect(target, request, src, picture.dst, picture.nImage, bScale, &puts.back())) {
                return DIRECT_UNUSABLE;
            }
        }
        dst = pictures.empty() ? ScaleRect{0, 0, 0, 0} : pictures.front().dst;
    } else if (dst.w > 0 && dst.h > 0) {
        puts.push_back(X11Put{});
        if (!ScaleDirect(target, request, src, dst, 0, true, &puts.back())) {
            return DIRECT_UNUSABLE;
        }
    }
    if (puts.empty()) {
        NoteShown(target); // nothing of the window to draw into, as SDL's surface would show
        return DIRECT_SHOWN;
    }
    if (!target.bDirectTraced) {
        target.bDirectTraced = true;
        Trace("SdlHost: pictures go to the X server from the render thread (%s).\n",
              X11DirectShares() ? "MIT-SHM" : "XPutImage");
    }
    switch (
        X11DirectShow(pWindow->xWindow, NeedsBars(target, dst), nWidth, nHeight, puts.data(), puts.size())) {
    case X11_PUT_DONE:
        NoteShown(target);
        return DIRECT_SHOWN;
    case X11_PUT_REFUSED:
        return DIRECT_REFUSED;
    case X11_PUT_NOTHING:
        break;
    }
    return DIRECT_FAILED;
}

// Main thread: the picture handed over, into its window with SDL.
bool ShowHanded(const PresentRequest& request) {
    TakeWindowChanges();
    HostWindow* pWindow = Find(request.hWnd);
    if (pWindow == nullptr || pWindow->bHostGone) {
        return false;
    }
    if (pWindow->bPaused.load()) {
        return true;
    }
    bool bShown = true;
    for (size_t nWindow = 0; nWindow <= pWindow->covers.size(); ++nWindow) {
        HostWindow* pTo = nWindow == 0 ? pWindow : pWindow->covers[nWindow - 1];
        if (pTo->bBarsLost.exchange(false)) {
            pTo->picture.bBarsPainted = false;
        }
        bShown = DrawWithSdl(pTo->pWindow, pTo->pRenderer, pTo->picture, request) && bShown;
    }
    return bShown;
}

} // namespace

bool PresentPicture(const PresentRequest& request) {
    // The lock keeps the window from ending while a picture goes to it.
    std::unique_lock<std::mutex> lock(g_mutex);
    HostWindow* pWindow = FindLive(request.hWnd);
    if (pWindow == nullptr) {
        return false;
    }
    PictureTarget& target = pWindow->picture;
    if (target.path == PATH_SURFACE && !target.bMainThread) {
        if (pWindow->bHostGone.load() || pWindow->bPaused.load()) {
            return !pWindow->bHostGone.load();
        }
        if (pWindow->bBarsLost.exchange(false)) {
            target.bBarsPainted = false;
        }
        if (pWindow->wlSurface != nullptr) {
            return DrawWayland(pWindow, request);
        }
        switch (DrawDirect(pWindow, request)) {
        case DIRECT_SHOWN:
            return true;
        case DIRECT_FAILED:
            return false;
        case DIRECT_REFUSED:
            Trace("SdlHost: pictures go through the main thread (the X server refused our puts).\n");
            break;
        case DIRECT_UNUSABLE:
            Trace("SdlHost: pictures go through the main thread (the window's pixels are not ours).\n");
            break;
        }
        target.bMainThread = true;
        target.bBarsPainted = false;
    }
    return g_handover.Hand(lock, request);
}

void ServePresent() {
    PresentRequest request;
    if (g_handover.Take(&request)) {
        g_handover.Done(ShowHanded(request));
    }
}

void ServePresentsFor(uint32_t dwMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    PresentRequest request;
    while (g_handover.TakeUntil(deadline, &request)) {
        g_handover.Done(ShowHanded(request));
    }
}

bool PresentPendingLocked() {
    return g_handover.IsPendingLocked();
}

void PaintWindowBlack(HostWindow* pWindow) {
    // On the surface path our connection paints it: SDL's window surface would cost a second picture's
    // memory the size of the window, which the render thread's puts never use.
    if (pWindow->picture.path == PATH_SURFACE && pWindow->xWindow != 0) {
        X11PaintBlack(pWindow->xWindow, pWindow->nClientWidth.load(), pWindow->nClientHeight.load());
    } else if (pWindow->picture.path == PATH_SURFACE && pWindow->wlSurface != nullptr) {
        // Only the render thread commits buffers to the window: it paints the bars with the next picture.
    } else {
        ClearWithSdl(pWindow->pWindow, pWindow->pRenderer, pWindow->picture);
    }
    pWindow->bBarsLost.store(true); // the render thread may be drawing with the target: it repaints them
    for (HostWindow* pCover : pWindow->covers) {
        PaintWindowBlack(pCover);
    }
}

void FreePresent(HostWindow* pWindow) {
    PictureTarget& target = pWindow->picture;
    if (target.dwShown > 1) {
        const double dSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - target.firstShown).count();
        Trace("SdlHost: %u frames shown in %.2f s (%.1f per second).\n", target.dwShown, dSeconds,
              (target.dwShown - 1) / dSeconds);
    }
    if (pWindow->wlSurface != nullptr) {
        std::lock_guard<std::mutex> lock(g_mutex);
        WaylandForgetSurface(pWindow->wlSurface);
    }
    if (target.pTexture != nullptr) {
        SDL_DestroyTexture(target.pTexture);
        target.pTexture = nullptr;
    }
    if (pWindow->pRenderer != nullptr) {
        SDL_DestroyRenderer(pWindow->pRenderer);
        pWindow->pRenderer = nullptr;
    }
}

uint64_t RefreshPeriodNs(WindowHandle hWnd) {
    HostWindow* pWindow = Find(hWnd);
    SDL_DisplayMode mode{};
    const int nDisplay = pWindow != nullptr ? SDL_GetWindowDisplayIndex(pWindow->pWindow) : 0;
    if (!g_bVideo || SDL_GetCurrentDisplayMode(nDisplay < 0 ? 0 : nDisplay, &mode) != 0 ||
        mode.refresh_rate <= 0) {
        return 1000000000u / 60;
    }
    return 1000000000u / static_cast<uint64_t>(mode.refresh_rate);
}

void SetLogicalSize(WindowHandle hWnd, int32_t nWidth, int32_t nHeight) {
    // The surface path letterboxes each full-screen picture itself, as the texture path does over
    // several monitors.
    HostWindow* pWindow = Find(hWnd);
    if (pWindow != nullptr && pWindow->pRenderer != nullptr && pWindow->picture.monitors.empty()) {
        SDL_RenderSetLogicalSize(pWindow->pRenderer, nWidth, nHeight);
        for (HostWindow* pCover : pWindow->covers) {
            SDL_RenderSetLogicalSize(pCover->pRenderer, nWidth, nHeight);
        }
    }
}

bool PictureRects(const PresentRequest& request, int32_t nWidth, int32_t nHeight, ScaleRect* pSrc,
                  ScaleRect* pDst) {
    const SurfaceContext& source = request.source;
    if (request.bFullScreen) {
        *pSrc = ScaleRect{0, 0, source.nWidth, source.nHeight};
        *pDst = LetterboxRect(source.nWidth, source.nHeight, nWidth, nHeight);
        return true;
    }
    const ScaleRect src{request.src.left, request.src.top, request.src.right - request.src.left,
                        request.src.bottom - request.src.top};
    const ScaleRect dst{request.dst.left, request.dst.top, request.dst.right - request.dst.left,
                        request.dst.bottom - request.dst.top};
    if (src.x < 0 || src.y < 0 || src.w < 0 || src.h < 0 || src.x + src.w > source.nWidth ||
        src.y + src.h > source.nHeight || dst.x < 0 || dst.y < 0 || dst.w < 0 || dst.h < 0 ||
        dst.x + dst.w > nWidth || dst.y + dst.h > nHeight) {
        return false;
    }
    *pSrc = src;
    *pDst = dst;
    return true;
}

bool OverMonitors(const PictureTarget& target, const PresentRequest& request, int32_t nWidth,
                  int32_t nHeight) {
    if (target.monitors.empty() || nWidth != target.nSpanWidth || nHeight != target.nSpanHeight) {
        return false;
    }
    // A preview in the root window: the whole frame stretched over the whole window.
    const ClientRect& src = request.src;
    const ClientRect& dst = request.dst;
    return request.bFullScreen || (src.left == 0 && src.top == 0 && src.right == request.source.nWidth &&
                                   src.bottom == request.source.nHeight && dst.left == 0 && dst.top == 0 &&
                                   dst.right == nWidth && dst.bottom == nHeight);
}

const std::vector<MonitorPicture>& MonitorPictures(PictureTarget& target, const SurfaceContext& source) {
    if (target.nPlannedWidth != source.nWidth || target.nPlannedHeight != source.nHeight) {
        target.nPlannedWidth = source.nWidth;
        target.nPlannedHeight = source.nHeight;
        PlanMonitorPictures(target.monitors, source.nWidth, source.nHeight, &target.monitorPictures);
    }
    return target.monitorPictures;
}

bool NeedsBars(PictureTarget& target, const ScaleRect& dst) {
    const bool bBars = !target.bBarsPainted || target.painted.x != dst.x || target.painted.y != dst.y ||
                       target.painted.w != dst.w || target.painted.h != dst.h;
    if (bBars) {
        target.painted = dst;
        target.bBarsPainted = true;
    }
    return bBars;
}

void NoteShown(PictureTarget& target) {
    static bool s_bFirstOfProcess = true;
    if (target.dwShown++ == 0) {
        target.firstShown = std::chrono::steady_clock::now();
        if (s_bFirstOfProcess) {
            s_bFirstOfProcess = false;
            Trace("SdlHost: first frame shown after %ld ms.\n", MillisecondsSinceExec());
        }
    }
}

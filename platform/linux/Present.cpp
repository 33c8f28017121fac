#include "platform/linux/Present.h"

#include "framework/Debug.h"
#include "platform/linux/X11Present.h"

#include <cstdio>
#include <cstring>
#include <time.h>
#include <unistd.h>

namespace {

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

// The first picture of the process (its first window's first frame).
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

} // namespace

bool PresentHandover::Hand(const PresentRequest& request, bool (*pfnAccepts)(WindowHandle),
                           void (*pfnWake)()) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!pfnAccepts(request.hWnd) || m_state != STATE_IDLE) {
        return false;
    }
    m_request = request;
    m_state = STATE_PENDING;
    lock.unlock();
    m_cvRequest.notify_all();
    pfnWake();
    lock.lock();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (m_state != STATE_IDLE) {
        if (m_cvDone.wait_until(lock, deadline) == std::cv_status::timeout && m_state == STATE_PENDING) {
            // The main thread is busy elsewhere: take the picture back, so that its buffer is ours again.
            m_state = STATE_IDLE;
            return false;
        }
    }
    return m_bShown;
}

void PresentHandover::Serve(bool (*pfnShow)(const PresentRequest&)) {
    PresentRequest request;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state != STATE_PENDING) {
            return;
        }
        m_state = STATE_SERVING;
        request = m_request;
    }
    const bool bShown = pfnShow(request);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state = STATE_IDLE;
    m_bShown = bShown;
    m_cvDone.notify_all();
}

void PresentHandover::ServeFor(uint32_t dwMilliseconds, bool (*pfnShow)(const PresentRequest&)) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_state == STATE_PENDING) {
            lock.unlock();
            Serve(pfnShow);
            lock.lock();
            continue;
        }
        if (m_cvRequest.wait_until(lock, deadline) == std::cv_status::timeout && m_state != STATE_PENDING) {
            return;
        }
    }
}

namespace {

// Where the picture goes in a surface nWidth x nHeight: src of the frame to dst of the surface. False when
// a window's rectangles no longer fit (it was resized meanwhile): the next picture will.
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

// The bars are painted only when the picture's rectangle changed or the window's contents were lost.
bool NeedsBars(PictureTarget& target, const ScaleRect& dst) {
    const bool bBars = !target.bBarsPainted || target.painted.x != dst.x || target.painted.y != dst.y ||
                       target.painted.w != dst.w || target.painted.h != dst.h;
    if (bBars) {
        target.painted = dst;
        target.bBarsPainted = true;
    }
    return bBars;
}

ScaleSource ScaleFormat(const SurfaceContext& source) {
    return source.format == PRESENT_RGB565 ? SCALE_RGB565 : SCALE_XRGB8888;
}

// The surface path on the main thread: our scaler into SDL's window surface, which is 32-bit XRGB on
// every X server we serve (a 24- or 32-bit visual).
bool DrawOnSurface(SDL_Window* pWindow, PictureTarget& target, const PresentRequest& request) {
    SDL_Surface* pSurface = SDL_GetWindowSurface(pWindow); // made again by SDL after a size change
    if (pSurface == nullptr || pSurface->format->BytesPerPixel != 4 || pSurface->format->Rmask != 0xFF0000 ||
        pSurface->format->Gmask != 0xFF00 || pSurface->format->Bmask != 0xFF) {
        return false;
    }
    ScaleRect src{};
    ScaleRect dst{};
    if (!PictureRects(request, pSurface->w, pSurface->h, &src, &dst)) {
        return true;
    }
    if (SDL_MUSTLOCK(pSurface) && SDL_LockSurface(pSurface) != 0) {
        return false;
    }
    uint32_t* pPixels = static_cast<uint32_t*>(pSurface->pixels);
    const bool bBars = NeedsBars(target, dst);
    if (bBars) {
        FillBlack(pPixels, pSurface->pitch, ScaleRect{0, 0, pSurface->w, pSurface->h});
    }
    const SurfaceContext& source = request.source;
    target.scaler.Scale(source.pPixels, source.nPitch, ScaleFormat(source), src, pPixels, pSurface->pitch,
                        dst);
    if (SDL_MUSTLOCK(pSurface)) {
        SDL_UnlockSurface(pSurface);
    }
    const SDL_Rect rect{dst.x, dst.y, dst.w, dst.h};
    if ((bBars ? SDL_UpdateWindowSurface(pWindow) : SDL_UpdateWindowSurfaceRects(pWindow, &rect, 1)) != 0) {
        return false;
    }
    NoteShown(target);
    return true;
}

} // namespace

DirectResult DrawDirect(unsigned long xWindow, int32_t nWidth, int32_t nHeight, PictureTarget& target,
                        const PresentRequest& request) {
    if (xWindow == 0 || !X11DirectUsable(xWindow)) {
        return DIRECT_UNUSABLE;
    }
    ScaleRect src{};
    ScaleRect dst{};
    if (!PictureRects(request, nWidth, nHeight, &src, &dst)) {
        return DIRECT_SHOWN;
    }
    if (dst.w <= 0 || dst.h <= 0) {
        NoteShown(target); // nothing of the window to draw into, as SDL's surface would show
        return DIRECT_SHOWN;
    }
    int32_t nPitch = 0;
    uint32_t* pPixels = X11DirectImage(dst.w, dst.h, &nPitch);
    if (pPixels == nullptr) {
        return DIRECT_UNUSABLE;
    }
    if (!target.bDirectTraced) {
        target.bDirectTraced = true;
        Trace("SdlHost: pictures go to the X server from the render thread (%s).\n",
              X11DirectShares() ? "MIT-SHM" : "XPutImage");
    }
    const SurfaceContext& source = request.source;
    target.scaler.Scale(source.pPixels, source.nPitch, ScaleFormat(source), src, pPixels, nPitch,
                        ScaleRect{0, 0, dst.w, dst.h});
    if (!X11DirectShow(xWindow, NeedsBars(target, dst), nWidth, nHeight, dst.x, dst.y)) {
        return DIRECT_FAILED;
    }
    NoteShown(target);
    return DIRECT_SHOWN;
}

void ClearPicture(SDL_Window* pWindow, SDL_Renderer* pRenderer, PictureTarget& target) {
    if (target.path == PATH_SURFACE) {
        SDL_Surface* pSurface = SDL_GetWindowSurface(pWindow);
        if (pSurface != nullptr && SDL_FillRect(pSurface, nullptr, 0) == 0) {
            SDL_UpdateWindowSurface(pWindow);
        }
        return; // the caller marks the bars lost: the render thread may be drawing with the target
    }
    SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, 255);
    SDL_RenderClear(pRenderer);
    SDL_RenderPresent(pRenderer);
}

bool DrawPicture(SDL_Window* pWindow, SDL_Renderer* pRenderer, PictureTarget& target,
                 const PresentRequest& request) {
    if (target.path == PATH_SURFACE) {
        return DrawOnSurface(pWindow, target, request);
    }
    const SurfaceContext& source = request.source;
    if (target.pTexture == nullptr || target.textureFormat != source.format ||
        target.nTextureWidth != source.nWidth || target.nTextureHeight != source.nHeight) {
        if (target.pTexture != nullptr) {
            SDL_DestroyTexture(target.pTexture);
        }
        const uint32_t dwFormat =
            source.format == PRESENT_RGB565 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        target.pTexture = SDL_CreateTexture(pRenderer, dwFormat, SDL_TEXTUREACCESS_STREAMING, source.nWidth,
                                            source.nHeight);
        if (target.pTexture == nullptr) {
            return false;
        }
        SDL_SetTextureScaleMode(target.pTexture, SDL_ScaleModeNearest);
        target.textureFormat = source.format;
        target.nTextureWidth = source.nWidth;
        target.nTextureHeight = source.nHeight;
    }
    SDL_UpdateTexture(target.pTexture, nullptr, source.pPixels, source.nPitch);
    SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, 255);
    SDL_RenderClear(pRenderer);
    if (request.bFullScreen) {
        SDL_RenderCopy(pRenderer, target.pTexture, nullptr, nullptr);
    } else {
        const SDL_Rect src{request.src.left, request.src.top, request.src.right - request.src.left,
                           request.src.bottom - request.src.top};
        const SDL_Rect dst{request.dst.left, request.dst.top, request.dst.right - request.dst.left,
                           request.dst.bottom - request.dst.top};
        if (dst.w > 0 && dst.h > 0) {
            SDL_RenderCopy(pRenderer, target.pTexture, &src, &dst);
        }
    }
    SDL_RenderPresent(pRenderer);
    NoteShown(target);
    return true;
}

void FreePicture(PictureTarget& target) {
    if (target.dwShown > 1) {
        const double dSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - target.firstShown).count();
        Trace("SdlHost: %u frames shown in %.2f s (%.1f per second).\n", target.dwShown, dSeconds,
              (target.dwShown - 1) / dSeconds);
    }
    if (target.pTexture != nullptr) {
        SDL_DestroyTexture(target.pTexture);
        target.pTexture = nullptr;
    }
}

#include "platform/linux/Present.h"

#include "framework/Debug.h"

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

bool DrawPicture(SDL_Renderer* pRenderer, PictureTarget& target, const PresentRequest& request) {
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
    if (target.dwShown++ == 0) {
        target.firstShown = std::chrono::steady_clock::now();
    }
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

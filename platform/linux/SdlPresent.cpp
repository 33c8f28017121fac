// The present module's SDL side (Present.h): pictures shown on the main thread, by SDL's renderer on the
// texture path, or by our scaler into SDL's window surface on the surface path where the render thread
// cannot put them itself.
#include "platform/linux/Present.h"

namespace {

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
    const SurfaceContext& source = request.source;
    const ScaleSource format = source.format == PRESENT_RGB565 ? SCALE_RGB565 : SCALE_XRGB8888;
    // Over several monitors, a way only taken when the render thread cannot put the pictures itself:
    // each monitor's picture scaled on its own, and the whole window updated.
    const bool bMonitors = OverMonitors(target, request, pSurface->w, pSurface->h);
    const std::vector<MonitorPicture>* pPictures = bMonitors ? &MonitorPictures(target, source) : nullptr;
    if (bMonitors) {
        dst = pPictures->empty() ? ScaleRect{0, 0, 0, 0} : pPictures->front().dst;
    }
    const bool bBars = NeedsBars(target, dst);
    if (bBars) {
        FillBlack(pPixels, pSurface->pitch, ScaleRect{0, 0, pSurface->w, pSurface->h});
    }
    if (bMonitors) {
        for (const MonitorPicture& picture : *pPictures) {
            target.scaler.Scale(source.pPixels, source.nPitch, format, src, pPixels, pSurface->pitch,
                                picture.dst);
        }
    } else {
        target.scaler.Scale(source.pPixels, source.nPitch, format, src, pPixels, pSurface->pitch, dst);
    }
    if (SDL_MUSTLOCK(pSurface)) {
        SDL_UnlockSurface(pSurface);
    }
    const SDL_Rect rect{dst.x, dst.y, dst.w, dst.h};
    if ((bBars || bMonitors ? SDL_UpdateWindowSurface(pWindow)
                            : SDL_UpdateWindowSurfaceRects(pWindow, &rect, 1)) != 0) {
        return false;
    }
    NoteShown(target);
    return true;
}

// The texture path: the picture uploaded into a texture of its own size and format, scaled by the
// renderer (letterboxed by its logical size in full screen).
bool DrawWithTexture(SDL_Renderer* pRenderer, PictureTarget& target, const PresentRequest& request) {
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
    // No logical size over several monitors: each monitor's letterbox is its own (the window's, where a
    // window manager did not let it span them).
    int nWidth = 0;
    int nHeight = 0;
    const bool bSpan =
        !target.monitors.empty() && SDL_GetRendererOutputSize(pRenderer, &nWidth, &nHeight) == 0;
    if (bSpan && OverMonitors(target, request, nWidth, nHeight)) {
        for (const MonitorPicture& picture : MonitorPictures(target, source)) {
            const SDL_Rect dst{picture.dst.x, picture.dst.y, picture.dst.w, picture.dst.h};
            SDL_RenderCopy(pRenderer, target.pTexture, nullptr, &dst);
        }
    } else if (bSpan && request.bFullScreen) {
        const ScaleRect whole = LetterboxRect(source.nWidth, source.nHeight, nWidth, nHeight);
        const SDL_Rect dst{whole.x, whole.y, whole.w, whole.h};
        SDL_RenderCopy(pRenderer, target.pTexture, nullptr, &dst);
    } else if (request.bFullScreen) {
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

} // namespace

bool DrawWithSdl(SDL_Window* pWindow, SDL_Renderer* pRenderer, PictureTarget& target,
                 const PresentRequest& request) {
    return target.path == PATH_SURFACE ? DrawOnSurface(pWindow, target, request)
                                       : DrawWithTexture(pRenderer, target, request);
}

void ClearWithSdl(SDL_Window* pWindow, SDL_Renderer* pRenderer, const PictureTarget& target) {
    if (target.path == PATH_SURFACE) {
        SDL_Surface* pSurface = SDL_GetWindowSurface(pWindow);
        if (pSurface != nullptr && SDL_FillRect(pSurface, nullptr, 0) == 0) {
            SDL_UpdateWindowSurface(pWindow);
        }
        return;
    }
    SDL_SetRenderDrawColor(pRenderer, 0, 0, 0, 255);
    SDL_RenderClear(pRenderer);
    SDL_RenderPresent(pRenderer);
}

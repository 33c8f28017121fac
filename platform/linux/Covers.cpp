#include "platform/linux/Covers.h"

#include "framework/Debug.h"
#include "platform/linux/Present.h"

#include <SDL.h>

#include <cstring>

using namespace sdlhost;

bool OutputsNeedCovers() {
    return std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") == 0 && SDL_GetNumVideoDisplays() > 1;
}

void MakeCovers(HostWindow* pMain, const char* pszTitle) {
    const int nDisplays = SDL_GetNumVideoDisplays();
    for (int nDisplay = 1; nDisplay < nDisplays; ++nDisplay) {
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(nDisplay, &bounds) != 0) {
            continue;
        }
        HostWindow* pCover = new HostWindow;
        pCover->mode = WINDOW_FULL_SCREEN;
        pCover->hOwner = pMain->hWnd;
        const int nAt = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(nDisplay));
        pCover->pWindow = SDL_CreateWindow(pszTitle, nAt, nAt, bounds.w, bounds.h,
                                           SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
        if (pCover->pWindow == nullptr || !FollowPresentPath(pCover, pMain)) {
            Trace("SdlHost: display %d left uncovered (%s).\n", nDisplay, SDL_GetError());
            FreeCovers({pCover});
            continue;
        }
        pCover->hWnd = SDL_GetWindowID(pCover->pWindow);
        Watch(pCover);
        UpdateClientSize(pCover);
        std::lock_guard<std::mutex> lock(g_mutex);
        pMain->covers.push_back(pCover);
    }
    if (!pMain->covers.empty()) {
        Trace("SdlHost: pictures on %zu displays (a full-screen window on each).\n",
              pMain->covers.size() + 1);
    }
}

void FreeCovers(const std::vector<HostWindow*>& covers) {
    for (HostWindow* pCover : covers) {
        FreePresent(pCover);
        if (pCover->pWindow != nullptr) {
            SDL_DestroyWindow(pCover->pWindow);
        }
        delete pCover;
    }
}

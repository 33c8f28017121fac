// The path choice of the present module (Present.h): which way a window's pictures take, asked once
// when the window is made, from what SDL's renderer and the display server say.
#include "platform/linux/Present.h"

#include "framework/Debug.h"
#include "platform/linux/WaylandPresent.h"
#include "platform/linux/WindowList.h"
#include "platform/linux/X11Present.h"

#include <SDL_syswm.h>

#include <cstdlib>
#include <cstring>
#include <string>

using namespace sdlhost;

namespace {

bool IsSoftwareGl(const std::string& name) {
    for (const char* pszSoftware : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
        if (name.find(pszSoftware) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The OpenGL renderer's name ("llvmpipe (LLVM 15.0.6, 256 bits)", a GPU's), empty when the renderer is
// not OpenGL's. Its context is current on this thread right after SDL_CreateRenderer.
std::string GlRendererName(SDL_Renderer* pRenderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(pRenderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) {
        return std::string();
    }
    using GetStringFn = const unsigned char* (*)(unsigned int);
    const auto pfnGetString = reinterpret_cast<GetStringFn>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* pszName = pfnGetString != nullptr ? pfnGetString(0x1F01) : nullptr; // GL_RENDERER
    return pszName != nullptr ? std::string(reinterpret_cast<const char*>(pszName)) : std::string();
}

// The window's wl_display on Wayland, nullptr elsewhere.
void* WaylandDisplayOf(SDL_Window* pWindow) {
    SDL_SysWMinfo wm{};
    SDL_VERSION(&wm.version);
    if (SDL_GetWindowWMInfo(pWindow, &wm) != SDL_TRUE || wm.subsystem != SDL_SYSWM_WAYLAND) {
        return nullptr;
    }
    return wm.info.wl.display;
}

// Main thread, on Wayland: whether SDL's renderer would run on a GPU, asked of a hidden window of its own.
// A renderer remakes its window for OpenGL, and our own pictures are not to be put into one that SDL's
// OpenGL also draws into.
bool ProbeSaysGpu(const std::string& forced) {
    SDL_Window* pProbe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);
    SDL_Renderer* pRenderer = pProbe != nullptr ? SDL_CreateRenderer(pProbe, -1, 0) : nullptr;
    bool bGpu = false;
    if (pRenderer != nullptr) {
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(pRenderer, &info);
        const std::string gl = GlRendererName(pRenderer);
        Trace("SdlHost: renderer %s%s%s (asked of a hidden window).\n", info.name, gl.empty() ? "" : ", ",
              gl.c_str());
        bGpu = PathForRenderer(forced, info.name, gl) == PATH_TEXTURE;
        SDL_DestroyRenderer(pRenderer);
    }
    if (pProbe != nullptr) {
        SDL_DestroyWindow(pProbe);
    }
    return bGpu;
}

} // namespace

PathChoice PathBeforeRenderer(const std::string& forced, PresentSession session, bool bGpuReachable) {
    const bool bOther = session == SESSION_OTHER;
    if (forced == "surface" || forced == "surface-main") {
        return PathChoice{false, forced == "surface-main" || bOther, "forced"};
    }
    if (forced.empty() && !bOther && !bGpuReachable) {
        return PathChoice{false, false,
                          session == SESSION_X11 ? "no direct rendering on this X server"
                                                 : "the compositor takes no GPU buffers"};
    }
    return PathChoice{true, bOther, "the renderer draws on the processor"};
}

PresentPath PathForRenderer(const std::string& forced, const char* pszRenderer, const std::string& gl) {
    const bool bSoftware = std::strcmp(pszRenderer, "software") == 0 || IsSoftwareGl(gl);
    return forced == "texture" || !bSoftware ? PATH_TEXTURE : PATH_SURFACE;
}

// The texture path where SDL's renderer runs on a GPU, the surface path otherwise. On an X server without
// direct rendering (Xvfb, a remote display) OpenGL could only run on the processor, so it is not even
// loaded. $LUMIVORRA_PRESENT forces a path, for the tests.
bool ChoosePresentPath(HostWindow* pWindow) {
    const char* pszForced = std::getenv("LUMIVORRA_PRESENT");
    const std::string forced = pszForced != nullptr ? pszForced : "";
    const char* pszDriver = SDL_GetCurrentVideoDriver();
    const PresentSession session = std::strcmp(pszDriver, "x11") == 0       ? SESSION_X11
                                   : std::strcmp(pszDriver, "wayland") == 0 ? SESSION_WAYLAND
                                                                            : SESSION_OTHER;
    const bool bGpuReachable = session == SESSION_X11 ? X11ServerRendersDirect()
                               : session == SESSION_WAYLAND
                                   ? WaylandCompositorTakesGpuBuffers(WaylandDisplayOf(pWindow->pWindow))
                                   : true;
    PathChoice choice = PathBeforeRenderer(forced, session, bGpuReachable);
    if (choice.bAskRenderer && session == SESSION_WAYLAND && forced.empty() && !ProbeSaysGpu(forced)) {
        choice.bAskRenderer = false;
    }
    PictureTarget& target = pWindow->picture;
    target.bMainThread = choice.bMainThread;
    if (choice.bAskRenderer) {
        pWindow->pRenderer = SDL_CreateRenderer(pWindow->pWindow, -1, 0);
        if (pWindow->pRenderer == nullptr) {
            Trace("SdlHost: no renderer (%s).\n", SDL_GetError());
            return false;
        }
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(pWindow->pRenderer, &info);
        const std::string gl = GlRendererName(pWindow->pRenderer);
        Trace("SdlHost: renderer %s%s%s.\n", info.name, gl.empty() ? "" : ", ", gl.c_str());
        if (PathForRenderer(forced, info.name, gl) == PATH_TEXTURE) {
            target.path = PATH_TEXTURE;
            Trace("SdlHost: present path texture (%s).\n", forced.empty() ? "renderer on a GPU" : "forced");
            return true;
        }
        SDL_DestroyRenderer(pWindow->pRenderer);
        pWindow->pRenderer = nullptr;
    }
    // SDL would otherwise make the window surface from a renderer's texture; MIT-SHM is what we want.
    // The surface (a second picture the size of the window) is made only for pictures shown through the
    // main thread, when the first of them comes.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (target.bMainThread && SDL_GetWindowSurface(pWindow->pWindow) == nullptr) {
        Trace("SdlHost: no window surface (%s).\n", SDL_GetError());
        return false;
    }
    target.path = PATH_SURFACE;
    Trace("SdlHost: present path surface (%s).\n", choice.pszReason);
    return true;
}

bool FollowPresentPath(HostWindow* pCover, const HostWindow* pMain) {
    PictureTarget& target = pCover->picture;
    target.path = pMain->picture.path;
    target.bMainThread = pMain->picture.bMainThread;
    if (target.path == PATH_TEXTURE) {
        pCover->pRenderer = SDL_CreateRenderer(pCover->pWindow, -1, 0);
        return pCover->pRenderer != nullptr;
    }
    return !target.bMainThread || SDL_GetWindowSurface(pCover->pWindow) != nullptr;
}

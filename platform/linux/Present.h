// Showing a picture on Linux: the one module that chooses a window's present path, carries each picture
// from the render thread to the screen and scales it. SDL2 allows video calls on the main thread only, so
// the render thread never touches SDL. A frame's way:
//
//   Display.cpp (Flip, StretchBlt) -> PresentPicture, render thread, holding the window host's lock:
//     surface path: DrawDirect -> our scaler into X11DirectImage -> X11DirectShow (X11Present.cpp)
//                   on Wayland: DrawWayland -> our scaler into a wl_shm buffer (WaylandPresent.cpp)
//     otherwise:    PresentHandover::Hand -> main thread: ServePresent -> DrawWithSdl (SdlPresent.cpp)
//
// The hand-over waits until the main thread has shown the picture, or dropped it, at most a second; then
// the picture's buffer is the render thread's again. A full-screen window over several monitors
// (Monitors.h) gets the picture letterboxed into each: on the surface path one image scaled per distinct
// size and put into every monitor of that size, on the texture path one copy of the texture per monitor.
#pragma once

#include "display/NearestScale.h"
#include "platform/DisplayDevice.h"
#include "platform/linux/Monitors.h"
#include "platform/linux/X11Present.h"

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sdlhost {
struct HostWindow;
}

enum PresentFormat : uint32_t {
    PRESENT_RGB565,   // 16-bit 5-6-5
    PRESENT_XRGB8888, // 32-bit, bytes blue, green, red, unused
};

// The pixels behind a surface's drawing context (a DrawContext of a surface points at one).
struct SurfaceContext {
    const void* pPixels;
    int32_t nPitch;
    int32_t nWidth;
    int32_t nHeight;
    PresentFormat format;
};

// One picture. Full screen: the whole source letterboxed to its aspect ratio (the window's logical size);
// otherwise the source rectangle stretched onto the destination rectangle of the client area.
struct PresentRequest {
    WindowHandle hWnd;
    SurfaceContext source;
    bool bFullScreen;
    ClientRect src; // left, top, right, bottom
    ClientRect dst;
};

// How pictures reach the screen. Texture: uploaded into an SDL renderer's texture and scaled by it, the
// cheapest where the renderer runs on a GPU. Surface: scaled by us and handed to the X server through
// shared memory (MIT-SHM; on Wayland wl_shm buffers), with no OpenGL at all, from the render thread (or,
// where the window's pixels are not 24-bit XRGB or the session is neither, into SDL's window surface on
// the main thread); the cheapest
// where OpenGL would run on the processor (llvmpipe and its kind, Xvfb, remote displays).
enum PresentPath {
    PATH_TEXTURE,
    PATH_SURFACE,
};

// What a window keeps for showing pictures: the texture of the last format and size presented (texture
// path) or the scaler and the size the bars were painted for (surface path), and how many pictures it
// has shown since when.
struct PictureTarget {
    PresentPath path = PATH_TEXTURE;
    bool bMainThread = false; // surface path: pictures go through the main thread (under the host's lock)
    NearestScaler scaler;
    ScaleRect painted{0, 0, 0, 0}; // surface path: the picture's rectangle when the bars were painted
    bool bBarsPainted = false;     // false: paint the whole surface black before the next picture
    bool bDirectTraced = false;    // the direct way's trace line was written
    // A full-screen window over several monitors: each one's rectangle in the window (set before the
    // window is shown, then fixed), and where the full-screen picture goes on each for the source size
    // last shown. Empty: the window is one monitor.
    std::vector<ScaleRect> monitors;
    int32_t nSpanWidth = 0; // the window's size over them (a window manager may give it another)
    int32_t nSpanHeight = 0;
    std::vector<MonitorPicture> monitorPictures;
    std::vector<X11Put> puts; // surface path, the render thread's: the puts of a picture
    int32_t nPlannedWidth = 0;
    int32_t nPlannedHeight = 0;
    SDL_Texture* pTexture = nullptr;
    PresentFormat textureFormat = PRESENT_XRGB8888;
    int32_t nTextureWidth = 0;
    int32_t nTextureHeight = 0;
    uint32_t dwShown = 0;
    std::chrono::steady_clock::time_point firstShown;
};

// Render thread: shows the picture (itself on the surface path, else through the main thread) and
// returns once it has been shown. False when it was not shown: the window is gone, the connection failed,
// or the main thread did not take it within a second.
bool PresentPicture(const PresentRequest& request);
// Main thread: shows the picture handed over, if there is one.
void ServePresent();
// Main thread: waits dwMilliseconds while serving the pictures handed over meanwhile.
void ServePresentsFor(uint32_t dwMilliseconds);
// Holding the window host's lock: a picture waits to be shown.
bool PresentPendingLocked();

// Main thread, for a new window: chooses its path (making its renderer for the texture path) and traces
// the choice. False when pictures cannot be shown in it at all.
bool ChoosePresentPath(sdlhost::HostWindow* pWindow);
// Main thread, for a cover of pMain (Covers.h): the main window's path, with a renderer of its own on the
// texture path. False when it cannot be had.
bool FollowPresentPath(sdlhost::HostWindow* pCover, const sdlhost::HostWindow* pMain);
// Main thread: paints the window black by its path (its bars are then painted again).
void PaintWindowBlack(sdlhost::HostWindow* pWindow);
// Main thread, when the window ends (no present can reach it any more): frees its texture and renderer
// and traces the pictures shown and their rate.
void FreePresent(sdlhost::HostWindow* pWindow);
// Main thread: the refresh period of the window's display in nanoseconds (60 Hz when it is unknown).
uint64_t RefreshPeriodNs(WindowHandle hWnd);
// Main thread: the size the window's full-screen pictures are letterboxed from (0 x 0: none).
void SetLogicalSize(WindowHandle hWnd, int32_t nWidth, int32_t nHeight);

// The session SDL's video driver runs in: where the render thread can put pictures itself.
enum PresentSession {
    SESSION_X11,
    SESSION_WAYLAND,
    SESSION_OTHER, // only SDL can show pictures, on the main thread
};
// The path choice's rules, apart from what they ask of SDL, the X server and the compositor. Before a
// renderer is made: $LUMIVORRA_PRESENT ("texture", "surface" or "surface-main", else empty), the session
// and whether OpenGL may run on a GPU there (the X server renders directly, the compositor takes GPU
// buffers). bAskRenderer: make a renderer and ask PathForRenderer; otherwise the surface path.
struct PathChoice {
    bool bAskRenderer;
    bool bMainThread; // the surface path through the main thread
    const char* pszReason;
};
PathChoice PathBeforeRenderer(const std::string& forced, PresentSession session, bool bGpuReachable);
// With SDL's renderer made: its name ("opengl", "software", ...) and, for OpenGL, the driver's renderer
// string. The texture path where it runs on a GPU (or where forced), else the surface path.
PresentPath PathForRenderer(const std::string& forced, const char* pszRenderer, const std::string& gl);

// Within the present module (Present.cpp and SdlPresent.cpp).
// Where the picture goes in a surface nWidth x nHeight: src of the frame to dst of the surface. False when
// a window's rectangles no longer fit (it was resized meanwhile): the next picture will.
bool PictureRects(const PresentRequest& request, int32_t nWidth, int32_t nHeight, ScaleRect* pSrc,
                  ScaleRect* pDst);
// Whether the request's picture goes to each of the window's monitors: full screen, while the window
// (nWidth x nHeight) spans them.
bool OverMonitors(const PictureTarget& target, const PresentRequest& request, int32_t nWidth,
                  int32_t nHeight);
// The full-screen picture's places on the window's monitors.
const std::vector<MonitorPicture>& MonitorPictures(PictureTarget& target, const SurfaceContext& source);
// Whether the bars must be painted around dst (the picture's rectangle changed or was lost); notes it.
bool NeedsBars(PictureTarget& target, const ScaleRect& dst);
// Counts a picture shown and traces the first of the process.
void NoteShown(PictureTarget& target);
// Main thread: the request's picture into the window with SDL, by the target's path.
bool DrawWithSdl(SDL_Window* pWindow, SDL_Renderer* pRenderer, PictureTarget& target,
                 const PresentRequest& request);
// Main thread: paints the window black with SDL.
void ClearWithSdl(SDL_Window* pWindow, SDL_Renderer* pRenderer, const PictureTarget& target);

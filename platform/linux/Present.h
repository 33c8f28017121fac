// Presents on Linux. SDL2 allows video calls on the main thread only, so the render thread never touches
// SDL: on the surface path it puts the picture into the X window itself, on a connection of its own
// (DrawDirect, X11Present.h); otherwise it hands the finished picture over (PresentHandover) and waits
// until the main thread has shown it (DrawPicture), or dropped it, at most a second; then the picture's
// buffer is the render thread's again.
#pragma once

#include "display/NearestScale.h"
#include "platform/linux/Window.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// One picture at a time between the render thread and the main thread. The lock is the window host's, so
// that a window's end and a hand-over to it cannot cross.
class PresentHandover {
public:
    explicit PresentHandover(std::mutex& mutex) : m_mutex(mutex) {}

    // Render thread. pfnAccepts, called with the lock held, says whether the request's window still takes
    // pictures; pfnWake, called without it, wakes the main thread's wait. True once the main thread has
    // shown the picture; false when it was refused, not shown, or not taken within a second.
    bool Hand(const PresentRequest& request, bool (*pfnAccepts)(WindowHandle), void (*pfnWake)());
    // Main thread: shows the picture handed over, if there is one, with pfnShow (called without the lock),
    // whose result Hand returns.
    void Serve(bool (*pfnShow)(const PresentRequest&));
    // Main thread: waits dwMilliseconds while serving the pictures handed over meanwhile.
    void ServeFor(uint32_t dwMilliseconds, bool (*pfnShow)(const PresentRequest&));
    // With the lock held: a picture waits to be served.
    bool IsPendingLocked() const { return m_state == STATE_PENDING; }

private:
    enum State { STATE_IDLE, STATE_PENDING, STATE_SERVING };

    std::mutex& m_mutex;
    std::condition_variable m_cvRequest; // a picture was handed over
    std::condition_variable m_cvDone;    // the picture was shown (or dropped)
    State m_state = STATE_IDLE;
    PresentRequest m_request{};
    bool m_bShown = false;
};

// How pictures reach the screen. Texture: uploaded into an SDL renderer's texture and scaled by it, the
// cheapest where the renderer runs on a GPU. Surface: scaled by us and handed to the X server through
// shared memory (MIT-SHM), with no OpenGL at all, from the render thread (or, where the window's pixels
// are not 24-bit XRGB, into SDL's window surface on the main thread); the cheapest where OpenGL would
// run on the processor (llvmpipe and its kind, Xvfb, remote displays).
enum PresentPath {
    PATH_TEXTURE,
    PATH_SURFACE,
};

// What a window keeps for showing pictures: the texture of the last format and size presented (texture
// path) or the scaler and the size the bars were painted for (surface path), and how many pictures it
// has shown since when.
struct PictureTarget {
    PresentPath path = PATH_TEXTURE;
    NearestScaler scaler;
    ScaleRect painted{0, 0, 0, 0}; // surface path: the picture's rectangle when the bars were painted
    bool bBarsPainted = false;     // false: paint the whole surface black before the next picture
    bool bDirectTraced = false;    // the direct way's trace line was written
    SDL_Texture* pTexture = nullptr;
    PresentFormat textureFormat = PRESENT_XRGB8888;
    int32_t nTextureWidth = 0;
    int32_t nTextureHeight = 0;
    uint32_t dwShown = 0;
    std::chrono::steady_clock::time_point firstShown;
};

// Main thread: shows the request's picture in the window by the target's path (pRenderer: the texture
// path's renderer). False when it could not be shown.
bool DrawPicture(SDL_Window* pWindow, SDL_Renderer* pRenderer, PictureTarget& target,
                 const PresentRequest& request);
// Render thread, holding the window host's lock: the surface path without the main thread, straight from
// the render thread to the X window xWindow (nWidth x nHeight) through X11Present.h.
enum DirectResult {
    DIRECT_SHOWN,    // shown (or nothing to show: the window's rectangles no longer fit)
    DIRECT_UNUSABLE, // not this way: hand the picture to the main thread
    DIRECT_FAILED,   // the connection failed
};
DirectResult DrawDirect(unsigned long xWindow, int32_t nWidth, int32_t nHeight, PictureTarget& target,
                        const PresentRequest& request);
// Main thread: paints the window black by the target's path (the caller marks the bars lost).
void ClearPicture(SDL_Window* pWindow, SDL_Renderer* pRenderer, PictureTarget& target);
// Main thread: frees the texture and traces the pictures shown and their rate.
void FreePicture(PictureTarget& target);

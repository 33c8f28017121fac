// Presents on Linux. SDL2 allows video calls on the main thread only, so the render thread never touches
// SDL: it hands a finished picture over (PresentHandover) and waits until the main thread has shown it
// (DrawPicture), or dropped it, at most a second; then the picture's buffer is the render thread's again.
#pragma once

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

// What a window keeps for showing pictures: the texture of the last format and size presented, and how
// many pictures it has shown since when.
struct PictureTarget {
    SDL_Texture* pTexture = nullptr;
    PresentFormat textureFormat = PRESENT_XRGB8888;
    int32_t nTextureWidth = 0;
    int32_t nTextureHeight = 0;
    uint32_t dwShown = 0;
    std::chrono::steady_clock::time_point firstShown;
};

// Main thread: uploads the request's picture and shows it in the renderer's window. False when it could
// not be shown.
bool DrawPicture(SDL_Renderer* pRenderer, PictureTarget& target, const PresentRequest& request);
// Main thread: frees the texture and traces the pictures shown and their rate.
void FreePicture(PictureTarget& target);

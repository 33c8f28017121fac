// SBallSwarm: the moving content of every frame. A fixed number of balls fly about the frame centre, each
// pulled towards the swarm's centre of mass and bounced off an invisible box (x -200..200, y -160..160
// around the centre, larger than the half frame), each drawn as one of four glow sprites added onto the
// frame. The scene reads centerX/centerY after Update to put the light on the swarm.
//
//     SBallSwarm* pSwarm = NewObject<SBallSwarm>();
//     pSwarm->Create(40, 0x00FF6464);       // main thread, after seeding the random generator
//     pSwarm->Update(); pSwarm->Draw(frame);  // render thread, every frame
//     DeleteObject(pSwarm);                 // after the render thread has ended
//
// Create throws SString (the allocator's out-of-memory message); what it built until then stays owned and
// is freed by Release. The arithmetic is single precision with the sums of Update in double, so that a
// seeded swarm flies the same path everywhere.
#pragma once

#include "imaging/SImage.h"

#include <atomic>
#include <cstdint>

struct Ball {
    float x;        // pixels right of the frame centre
    float y;        // pixels below the frame centre
    float vx;       // pixels per frame
    float vy;       // pixels per frame
    int32_t sprite; // index into SBallSwarm::sprites, chosen at spawn
};

class SBallSwarm {
public:
    SBallSwarm();
    SBallSwarm(const SBallSwarm&) = delete;
    SBallSwarm& operator=(const SBallSwarm&) = delete;
    virtual ~SBallSwarm();

    // Makes the four sprites (sides 128, 96, 64, 32) glowing in color (0x00RRGGBB) and spawns count balls
    // at the centre with random velocities (three draws of Random per ball: vx, vy, sprite).
    void Create(int32_t count, uint32_t color);
    // Moves every ball by one frame, steers it towards the previous centre, bounces it, and recomputes the
    // centre as the mean position (0, 0 without balls). False when the abort flag cut it short.
    bool Update();
    // Adds each ball's sprite into the frame, centred on its truncated position from the frame centre.
    // False when the abort flag cut it short.
    bool Draw(SImage& frame);
    // Frees the balls and the sprites; safe to call again.
    void Release();
    // From now on Update and Draw stop early, between two runs of kAbortRun balls, once *pAbort is
    // nonzero: with millions of balls a frame takes minutes, and a close request must not wait for it.
    // A swarm of at most kAbortRun balls always finishes. Null: never.
    void SetAbortFlag(const std::atomic<int32_t>* pAbort) { m_pAbort = pAbort; }
    // Balls moved or drawn between two looks at the abort flag: a few milliseconds of drawing.
    static constexpr int32_t kAbortRun = 4096;

    SImage* sprites[4]; // owned; sides 128, 96, 64, 32; null until Create
    int32_t count;      // balls passed to Create
    Ball* balls;        // owned array of count balls; null until Create
    float centerX;      // mean ball position after the last Update
    float centerY;

private:
    bool Aborted(int32_t nBall) const;

    const std::atomic<int32_t>* m_pAbort; // the render thread's stop flag; null when none
};

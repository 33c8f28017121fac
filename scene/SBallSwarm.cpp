#include "scene/SBallSwarm.h"

#include "framework/Memory.h"
#include "framework/Random.h"
#include "framework/SString.h"

#include <cmath>

namespace {

// Box the balls bounce off, around the frame centre.
constexpr float kBoxX = 200.0f;
constexpr float kBoxY = 160.0f;

// The float to int32 conversion of the processor, truncating: a value outside the int32 range gives the
// "integer indefinite" INT32_MIN instead of undefined behaviour.
int64_t TruncToInt32(float f) {
    if (f > -2147483648.0f && f < 2147483648.0f) {
        return static_cast<int32_t>(f);
    }
    return INT32_MIN;
}

} // namespace

SBallSwarm::SBallSwarm()
    : sprites{}, count(0), balls(nullptr), centerX(0.0f), centerY(0.0f), m_pAbort(nullptr) {}

SBallSwarm::~SBallSwarm() {
    Release();
}

void SBallSwarm::Create(int32_t nCount, uint32_t color) {
    // Created once by the scene; a second call must not leak the first swarm.
    Release();
    int32_t nSlot = 0;
    for (int32_t n = 128; n > 0; n -= 32) {
        sprites[nSlot] = NewObject<SImage>(n, n);
        sprites[nSlot]->DrawGlow(sprites[nSlot]->width / 2, color);
        ++nSlot;
    }
    centerX = 0.0f;
    count = nCount;
    centerY = 0.0f;
    // The count is whatever the user typed, used unchanged: a negative one (a stored value of 2^31 or
    // more) makes the loops run zero times, as 0 does. One whose block does not fit in 32 bits is a
    // request no allocator can meet: its message, rather than a size that wraps (on a 32-bit build) to a
    // small block the spawn loop would overrun.
    if (nCount <= 0) {
        return;
    }
    const uint64_t qwBytes = static_cast<uint64_t>(nCount) * sizeof(Ball);
    if (qwBytes > 0xFFFFFFFFu) {
        throw SString("%s", OutOfMemoryText());
    }
    balls = static_cast<Ball*>(MemAlloc(static_cast<size_t>(qwBytes)));
    for (int32_t i = 0; i < nCount; ++i) {
        Ball& ball = balls[i];
        ball.x = 0.0f;
        ball.y = 0.0f;
        // Draws in this order: vx, vy, sprite. 0.1f is the float nearest 0.1; the product is a float.
        ball.vx = static_cast<float>(Random(500) - 250) * 0.1f;
        ball.vy = static_cast<float>(Random(500) - 250) * 0.1f;
        ball.sprite = Random(4);
    }
}

bool SBallSwarm::Aborted(int32_t nBall) const {
    // Never at ball 0: a stop asked for just before the frame still gets the whole frame of an ordinary
    // swarm, since the render thread finishes the frame it began.
    return nBall > 0 && nBall % kAbortRun == 0 && m_pAbort != nullptr &&
           m_pAbort->load(std::memory_order_relaxed) != 0;
}

bool SBallSwarm::Update() {
    double dSumX = 0.0;
    double dSumY = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        // The frame is given up (not shown) and the run ends: its balls and centre no longer matter.
        if (Aborted(i)) {
            return false;
        }
        Ball& ball = balls[i];
        ball.x += ball.vx;
        ball.y += ball.vy;
        dSumX += ball.x;
        dSumY += ball.y;
        // Steering first, so that outside the box the bounce decides the sign.
        if (ball.x < centerX) {
            ball.vx += 1.0f;
        } else if (ball.x > centerX) {
            ball.vx -= 1.0f;
        }
        if (ball.y < centerY) {
            ball.vy += 1.0f;
        } else if (ball.y > centerY) {
            ball.vy -= 1.0f;
        }
        if (ball.x < -kBoxX) {
            ball.vx = std::fabs(ball.vx);
        } else if (ball.x > kBoxX) {
            ball.vx = -std::fabs(ball.vx);
        }
        if (ball.y < -kBoxY) {
            ball.vy = std::fabs(ball.vy);
        } else if (ball.y > kBoxY) {
            ball.vy = -std::fabs(ball.vy);
        }
    }
    if (count > 0) {
        centerX = static_cast<float>(dSumX / count);
        centerY = static_cast<float>(dSumY / count);
    } else {
        // No positions to average: the light stays on the frame centre.
        centerX = 0.0f;
        centerY = 0.0f;
    }
    return true;
}

bool SBallSwarm::Draw(SImage& frame) {
    const int64_t nHalfFrameX = frame.width / 2;
    const int64_t nHalfFrameY = frame.height / 2;
    for (int32_t i = 0; i < count; ++i) {
        if (Aborted(i)) {
            return false;
        }
        const Ball& ball = balls[i];
        const SImage& sprite = *sprites[ball.sprite];
        const int64_t x = TruncToInt32(ball.x) - sprite.width / 2 + nHalfFrameX;
        const int64_t y = TruncToInt32(ball.y) - sprite.height / 2 + nHalfFrameY;
        // A ball that far away is off the frame anyway; the positions Blit takes are 32-bit.
        if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) {
            continue;
        }
        frame.Blit(static_cast<int32_t>(x), static_cast<int32_t>(y), sprite, BLIT_ADD);
    }
    return true;
}

void SBallSwarm::Release() {
    MemFree(balls);
    balls = nullptr;
    for (SImage*& pSprite : sprites) {
        DeleteObject(pSprite);
    }
}

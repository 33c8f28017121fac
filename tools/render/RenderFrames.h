// The scene's frames without a display: the real SScene and SFrmWork in a headless window (the windowed
// run, so every presented picture is the 32-bit frame itself), its settings from the options.
#pragma once

#include <cstdint>
#include <string>

struct FrameOptions {
    uint32_t dwSeed = 1; // the tick count the scene seeds its generator from
    int32_t nFrames = 1; // K: the frame printed, written and held
    uint32_t dwNums = 40;
    uint32_t dwColor = 0xFF6464;
    uint32_t dwBump = 5;
    std::string heightMap; // empty: the built-in map
    bool bShowFps = false;
    int32_t nFps = 0;      // the rate the counter shows
    std::string pngPath;   // frame K
    std::string rawPath;   // frame K, 320 x 240 x 4 bytes
    std::string framesDir; // every frame, frame-0001.png on
    int32_t nFade = 0;     // fade frames after K kept in framesDir, at most 32
};

// Prints "sha256 <hex>" of frame K's bytes; 0, or throws SString.
int RenderFrames(const FrameOptions& options);

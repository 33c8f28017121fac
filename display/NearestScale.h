// Scales a picture with nearest-neighbour sampling into 32-bit memory, for a display that shows the frame
// without a GPU to stretch it. Destination pixel x of a rectangle w wide takes source column
// src.x + ((2x + 1) * src.w) / (2w), the source pixel under the centre of the destination pixel, and
// likewise for rows; 5-6-5 sources are widened to 8 bits a channel as v * 255 / 31 (or / 63 for green)
// rounded down, the colours SDL's own conversion shows. Rows are written left to right from the top; a
// destination row whose source row equals the one above is copied from the row above.
//
//     NearestScaler scaler;
//     const ScaleRect box = LetterboxRect(320, 240, nWidth, nHeight);
//     scaler.Scale(frame, 640, SCALE_RGB565, ScaleRect{0, 0, 320, 240}, pWindow, nPitch, box);
#pragma once

#include <cstdint>
#include <vector>

struct ScaleRect {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

enum ScaleSource {
    SCALE_RGB565,   // 16-bit 5-6-5, little-endian
    SCALE_XRGB8888, // 32-bit 0x00RRGGBB
};

// The largest rectangle of the source's aspect ratio inside nWidth x nHeight, centred: full width with
// bars above and below, or full height with bars left and right. Empty when either size is not positive.
ScaleRect LetterboxRect(int32_t nSourceWidth, int32_t nSourceHeight, int32_t nWidth, int32_t nHeight);

// The 32-bit pixel a 5-6-5 pixel is shown as.
constexpr uint32_t Widen565(uint32_t wPixel) {
    const uint32_t r = (wPixel >> 11) & 0x1F;
    const uint32_t g = (wPixel >> 5) & 0x3F;
    const uint32_t b = wPixel & 0x1F;
    return ((r * 255 / 31) << 16) | ((g * 255 / 63) << 8) | (b * 255 / 31);
}

class NearestScaler {
public:
    // Writes the rectangle dst of pDest (rows nDestPitch bytes apart) from the rectangle src of pSource
    // (rows nSourcePitch bytes apart); nothing outside dst is touched. Nothing is written for an empty
    // rectangle. The caller keeps both rectangles inside their pictures.
    void Scale(const void* pSource, int32_t nSourcePitch, ScaleSource format, const ScaleRect& src,
               uint32_t* pDest, int32_t nDestPitch, const ScaleRect& dst);

    // Writes a row of source pixels, each its run's number of times (one form per shortest run).
    using ExpandFn = void (*)(const uint32_t* pRow, const uint32_t* pRuns, int32_t nSpan, uint32_t* pOut);

private:
    std::vector<uint32_t> m_runs; // per source column, from src.x: how many destination columns show it
    int32_t m_nRunsFrom = 0;      // the source and destination widths they were made for
    int32_t m_nRunsTo = 0;
    int32_t m_nSpan = 0; // the source columns shown: those up to the last one with a run
    ExpandFn m_pfnExpand = nullptr;
    std::vector<uint32_t> m_row; // one source row widened to 32 bits
};

// Fills the rectangle r of pDest with black.
void FillBlack(uint32_t* pDest, int32_t nDestPitch, const ScaleRect& r);

#include "display/NearestScale.h"

#include <algorithm>
#include <cstring>
#include <iterator>

ScaleRect LetterboxRect(int32_t nSourceWidth, int32_t nSourceHeight, int32_t nWidth, int32_t nHeight) {
    if (nSourceWidth <= 0 || nSourceHeight <= 0 || nWidth <= 0 || nHeight <= 0) {
        return ScaleRect{0, 0, 0, 0};
    }
    const int64_t qwWide = static_cast<int64_t>(nWidth) * nSourceHeight;
    const int64_t qwTall = static_cast<int64_t>(nHeight) * nSourceWidth;
    if (qwWide > qwTall) {
        const int32_t w = static_cast<int32_t>(qwTall / nSourceHeight);
        return ScaleRect{(nWidth - w) / 2, 0, w, nHeight};
    }
    const int32_t h = static_cast<int32_t>(qwWide / nSourceWidth);
    return ScaleRect{0, (nHeight - h) / 2, nWidth, h};
}

namespace {

uint32_t* RowOf(uint32_t* pDest, int32_t nDestPitch, int32_t y) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pDest) +
                                       static_cast<intptr_t>(y) * nDestPitch);
}

int32_t SourceIndex(int32_t nDest, int32_t nDestSize, int32_t nSourceSize) {
    return static_cast<int32_t>((static_cast<int64_t>(2 * nDest + 1) * nSourceSize) /
                                (2 * static_cast<int64_t>(nDestSize)));
}

// Widen565 of each channel, in place: three small lookups per pixel instead of three multiplies.
struct WideChannels {
    uint32_t red[32];
    uint32_t green[64];
    uint32_t blue[32];
};

constexpr WideChannels MakeWideChannels() {
    WideChannels channels{};
    for (uint32_t v = 0; v < 64; ++v) {
        if (v < 32) {
            channels.red[v] = Widen565(v << 11);
            channels.blue[v] = Widen565(v);
        }
        channels.green[v] = Widen565(v << 5);
    }
    return channels;
}

constexpr WideChannels kWide = MakeWideChannels();

void WidenRow(const uint16_t* __restrict pPixels, int32_t nWidth, uint32_t* __restrict pWide) {
    for (int32_t x = 0; x < nWidth; ++x) {
        const uint32_t wPixel = pPixels[x];
        pWide[x] = kWide.red[wPixel >> 11] | kWide.green[(wPixel >> 5) & 0x3F] | kWide.blue[wPixel & 0x1F];
    }
}

// Writes each of the nSpan source pixels its run's length of times. The destination columns of one
// source column are adjacent (the mapping never goes back), and at a given scale every run is the
// shortest one or one longer: kShortest copies are written unrolled, the one more when the run has it.
template <uint32_t kShortest>
void ExpandRow(const uint32_t* __restrict pRow, const uint32_t* __restrict pRuns, int32_t nSpan,
               uint32_t* __restrict pOut) {
    for (int32_t x = 0; x < nSpan; ++x) {
        const uint32_t dwPixel = pRow[x];
        for (uint32_t n = 0; n < kShortest; ++n) {
            pOut[n] = dwPixel;
        }
        pOut += kShortest;
        for (uint32_t n = pRuns[x] - kShortest; n != 0; --n) {
            *pOut++ = dwPixel;
        }
    }
}

NearestScaler::ExpandFn ExpandFor(uint32_t dwShortest) {
    static constexpr NearestScaler::ExpandFn kForms[] = {ExpandRow<0>, ExpandRow<1>, ExpandRow<2>,
                                                         ExpandRow<3>, ExpandRow<4>, ExpandRow<5>,
                                                         ExpandRow<6>, ExpandRow<7>, ExpandRow<8>};
    return kForms[dwShortest < std::size(kForms) ? dwShortest : std::size(kForms) - 1];
}

} // namespace

void NearestScaler::Scale(const void* pSource, int32_t nSourcePitch, ScaleSource format, const ScaleRect& src,
                          uint32_t* pDest, int32_t nDestPitch, const ScaleRect& dst) {
    if (src.w <= 0 || src.h <= 0 || dst.w <= 0 || dst.h <= 0) {
        return;
    }
    if (m_nRunsTo != dst.w || m_nRunsFrom != src.w) {
        m_runs.assign(static_cast<size_t>(src.w), 0);
        for (int32_t x = 0; x < dst.w; ++x) {
            ++m_runs[static_cast<size_t>(SourceIndex(x, dst.w, src.w))];
        }
        m_nRunsFrom = src.w;
        m_nRunsTo = dst.w;
        m_nSpan = SourceIndex(dst.w - 1, dst.w, src.w) + 1;
        m_pfnExpand = ExpandFor(*std::min_element(m_runs.begin(), m_runs.begin() + m_nSpan));
    }
    const uint32_t* pRuns = m_runs.data();
    const int32_t nSpan = m_nSpan;
    m_row.resize(static_cast<size_t>(src.w));
    uint32_t* pWide = m_row.data();
    const uint8_t* pBytes = static_cast<const uint8_t*>(pSource);
    int32_t nLastRow = -1;
    for (int32_t y = 0; y < dst.h; ++y) {
        uint32_t* pOut = RowOf(pDest, nDestPitch, dst.y + y) + dst.x;
        const int32_t nRow = src.y + SourceIndex(y, dst.h, src.h);
        if (nRow == nLastRow) {
            std::memcpy(pOut, RowOf(pDest, nDestPitch, dst.y + y - 1) + dst.x,
                        static_cast<size_t>(dst.w) * 4);
            continue;
        }
        nLastRow = nRow;
        const uint8_t* pIn = pBytes + static_cast<intptr_t>(nRow) * nSourcePitch;
        const uint32_t* pRow;
        if (format == SCALE_RGB565) {
            WidenRow(reinterpret_cast<const uint16_t*>(pIn) + src.x, nSpan, pWide);
            pRow = pWide;
        } else {
            pRow = reinterpret_cast<const uint32_t*>(pIn) + src.x;
        }
        if (dst.w == src.w) {
            std::memcpy(pOut, pRow, static_cast<size_t>(dst.w) * 4); // a window the frame's own size
            continue;
        }
        m_pfnExpand(pRow, pRuns, nSpan, pOut);
    }
}

void FillBlack(uint32_t* pDest, int32_t nDestPitch, const ScaleRect& r) {
    for (int32_t y = 0; y < r.h; ++y) {
        std::memset(RowOf(pDest, nDestPitch, r.y + y) + r.x, 0, static_cast<size_t>(r.w > 0 ? r.w : 0) * 4);
    }
}

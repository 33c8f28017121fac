#include "display/NearestScale.h"

#include <cstring>

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

} // namespace

void NearestScaler::Scale(const void* pSource, int32_t nSourcePitch, ScaleSource format, const ScaleRect& src,
                          uint32_t* pDest, int32_t nDestPitch, const ScaleRect& dst) {
    if (src.w <= 0 || src.h <= 0 || dst.w <= 0 || dst.h <= 0) {
        return;
    }
    if (static_cast<int32_t>(m_columns.size()) != dst.w || m_nColumnsFrom != src.w) {
        m_columns.resize(static_cast<size_t>(dst.w));
        for (int32_t x = 0; x < dst.w; ++x) {
            m_columns[static_cast<size_t>(x)] = static_cast<uint32_t>(SourceIndex(x, dst.w, src.w));
        }
        m_nColumnsFrom = src.w;
    }
    m_row.resize(static_cast<size_t>(src.w));
    const uint32_t* pColumns = m_columns.data();
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
            const uint16_t* pPixels = reinterpret_cast<const uint16_t*>(pIn) + src.x;
            for (int32_t x = 0; x < src.w; ++x) {
                pWide[x] = Widen565(pPixels[x]);
            }
            pRow = pWide;
        } else {
            pRow = reinterpret_cast<const uint32_t*>(pIn) + src.x;
        }
        if (dst.w == src.w) {
            std::memcpy(pOut, pRow, static_cast<size_t>(dst.w) * 4); // a window the frame's own size
            continue;
        }
        for (int32_t x = 0; x < dst.w; ++x) {
            pOut[x] = pRow[pColumns[x]];
        }
    }
}

void FillBlack(uint32_t* pDest, int32_t nDestPitch, const ScaleRect& r) {
    for (int32_t y = 0; y < r.h; ++y) {
        std::memset(RowOf(pDest, nDestPitch, r.y + y) + r.x, 0, static_cast<size_t>(r.w > 0 ? r.w : 0) * 4);
    }
}

#include "platform/linux/Monitors.h"

#include <algorithm>

bool SpanMonitors(const std::vector<ScaleRect>& monitors, MonitorSpan* pSpan) {
    MonitorSpan span{};
    bool bFirst = true;
    for (size_t nIndex = 0; nIndex < monitors.size(); ++nIndex) {
        const ScaleRect& m = monitors[nIndex];
        if (m.w <= 0 || m.h <= 0) {
            continue;
        }
        const long lIndex = static_cast<long>(nIndex);
        if (bFirst) {
            bFirst = false;
            span.bounds = m;
            std::fill(std::begin(span.edges), std::end(span.edges), lIndex);
            continue;
        }
        const ScaleRect& b = span.bounds;
        const ScaleRect& top = monitors[static_cast<size_t>(span.edges[0])];
        const ScaleRect& bottom = monitors[static_cast<size_t>(span.edges[1])];
        const ScaleRect& left = monitors[static_cast<size_t>(span.edges[2])];
        const ScaleRect& right = monitors[static_cast<size_t>(span.edges[3])];
        span.edges[0] = m.y < top.y ? lIndex : span.edges[0];
        span.edges[1] = m.y + m.h > bottom.y + bottom.h ? lIndex : span.edges[1];
        span.edges[2] = m.x < left.x ? lIndex : span.edges[2];
        span.edges[3] = m.x + m.w > right.x + right.w ? lIndex : span.edges[3];
        const int32_t nRight = std::max(b.x + b.w, m.x + m.w);
        const int32_t nBottom = std::max(b.y + b.h, m.y + m.h);
        span.bounds.x = std::min(b.x, m.x);
        span.bounds.y = std::min(b.y, m.y);
        span.bounds.w = nRight - span.bounds.x;
        span.bounds.h = nBottom - span.bounds.y;
    }
    for (const ScaleRect& m : monitors) {
        if (m.w <= 0 || m.h <= 0) {
            continue;
        }
        const ScaleRect inside{m.x - span.bounds.x, m.y - span.bounds.y, m.w, m.h};
        const bool bSeen = std::any_of(span.monitors.begin(), span.monitors.end(), [&](const ScaleRect& r) {
            return r.x == inside.x && r.y == inside.y && r.w == inside.w && r.h == inside.h;
        });
        if (!bSeen) {
            span.monitors.push_back(inside);
        }
    }
    if (span.monitors.size() < 2) {
        return false;
    }
    *pSpan = std::move(span);
    return true;
}

uint32_t PlanMonitorPictures(const std::vector<ScaleRect>& monitors, int32_t nSourceWidth,
                             int32_t nSourceHeight, std::vector<MonitorPicture>* pPictures) {
    pPictures->clear();
    uint32_t nImages = 0;
    for (const ScaleRect& m : monitors) {
        ScaleRect dst = LetterboxRect(nSourceWidth, nSourceHeight, m.w, m.h);
        if (dst.w <= 0 || dst.h <= 0) {
            continue;
        }
        dst.x += m.x;
        dst.y += m.y;
        uint32_t nImage = nImages;
        for (const MonitorPicture& earlier : *pPictures) {
            if (earlier.dst.w == dst.w && earlier.dst.h == dst.h) {
                nImage = earlier.nImage;
                break;
            }
        }
        if (nImage == nImages) {
            ++nImages;
        }
        pPictures->push_back(MonitorPicture{dst, nImage});
    }
    return nImages;
}

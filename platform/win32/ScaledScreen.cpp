#include "platform/win32/ScaledScreen.h"

#include "display/NearestScale.h"
#include "platform/win32/Monitors.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr int32_t kPitch = kWidth * 2;

DisplayPixelFormat Format565() {
    DisplayPixelFormat pf{};
    pf.dwSize = sizeof(pf);
    pf.dwFlags = DISP_PF_RGB;
    pf.dwRGBBitCount = 16;
    pf.dwRBitMask = 0xF800;
    pf.dwGBitMask = 0x7E0;
    pf.dwBBitMask = 0x1F;
    return pf;
}

// One window the picture is shown in, with the scaled picture of its size.
struct Target {
    HWND hWnd;
    NearestScaler scaler;
    std::vector<uint32_t> pixels; // the letterbox rectangle, rows from the top
};

// Shows the picture letterboxed in the window's client area; the bars are painted black every time, since
// nothing else paints the window once the run has begun.
void Show(Target& target, const uint16_t* pFrame) {
    RECT client{};
    if (!GetClientRect(target.hWnd, &client)) {
        return;
    }
    const ScaleRect box = LetterboxRect(kWidth, kHeight, client.right, client.bottom);
    if (box.w <= 0 || box.h <= 0) {
        return;
    }
    const size_t nPixels = static_cast<size_t>(box.w) * static_cast<size_t>(box.h);
    if (target.pixels.size() != nPixels) {
        target.pixels.assign(nPixels, 0);
    }
    target.scaler.Scale(pFrame, kPitch, SCALE_RGB565, ScaleRect{0, 0, kWidth, kHeight}, target.pixels.data(),
                        box.w * 4, ScaleRect{0, 0, box.w, box.h});
    const HDC hDC = GetDC(target.hWnd);
    if (hDC == nullptr) {
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = box.w;
    info.bmiHeader.biHeight = -box.h; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(hDC, box.x, box.y, static_cast<DWORD>(box.w), static_cast<DWORD>(box.h), 0, 0, 0,
                      static_cast<UINT>(box.h), target.pixels.data(), &info, DIB_RGB_COLORS);
    PatBlt(hDC, 0, 0, box.x, client.bottom, BLACKNESS);
    PatBlt(hDC, box.x + box.w, 0, client.right - box.x - box.w, client.bottom, BLACKNESS);
    PatBlt(hDC, box.x, 0, box.w, box.y, BLACKNESS);
    PatBlt(hDC, box.x, box.y + box.h, box.w, client.bottom - box.y - box.h, BLACKNESS);
    ReleaseDC(target.hWnd, hDC);
}

class MemorySurface final : public DisplaySurface {
public:
    // The memory never goes away, so nothing is ever lost.
    DisplayResult IsLost() override { return DISP_OK; }
    DisplayResult Restore() override { return DISP_OK; }
    DisplayResult Lock(DisplaySurfaceDesc* pDesc, uint32_t) override {
        pDesc->dwFlags = DISP_SD_HEIGHT | DISP_SD_WIDTH | DISP_SD_PITCH | DISP_SD_PIXELFORMAT;
        pDesc->dwWidth = kWidth;
        pDesc->dwHeight = kHeight;
        pDesc->lPitch = kPitch;
        pDesc->lpSurface = m_pixels;
        pDesc->ddpfPixelFormat = Format565();
        pDesc->dwCaps = DISP_SCAPS_BACKBUFFER;
        return DISP_OK;
    }
    DisplayResult Unlock() override { return DISP_OK; }
    DisplayResult Flip(uint32_t) override { return DISP_ERR_INVALIDPARAMS; }
    DisplayResult GetAttachedSurface(uint32_t, DisplaySurface**) override { return DISP_ERR_INVALIDPARAMS; }
    DisplayResult GetPixelFormat(DisplayPixelFormat* pFormat) override {
        *pFormat = Format565();
        return DISP_OK;
    }
    DisplayResult GetDC(DrawContext*) override { return DISP_ERR_GENERIC; }
    DisplayResult ReleaseDC(DrawContext) override { return DISP_ERR_GENERIC; }
    // Part of the chain: given back with the primary.
    void Release() override {}

    uint16_t m_pixels[kWidth * kHeight] = {};
};

class ScaledChain final : public DisplaySurface {
public:
    ScaledChain(IDirectDraw* pDD, HWND hWnd) : m_pDD(pDD) {
        m_targets.push_back(Target{hWnd, {}, {}});
        for (const HWND hCover : CoverWindows(hWnd)) {
            m_targets.push_back(Target{hCover, {}, {}});
        }
    }

    DisplayResult IsLost() override { return DISP_OK; }
    DisplayResult Restore() override { return DISP_OK; }
    // The front buffer is the screen itself: only the back buffer is written.
    DisplayResult Lock(DisplaySurfaceDesc*, uint32_t) override { return DISP_ERR_INVALIDPARAMS; }
    DisplayResult Unlock() override { return DISP_ERR_INVALIDPARAMS; }
    DisplayResult Flip(uint32_t dwFlags) override {
        if ((dwFlags & DISP_FLIP_WAIT) != 0) {
            m_pDD->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        }
        // Leaving exclusive mode, DirectDraw gives the window its old place in the stacking order back,
        // and may do so after Init has put it on top: it goes on top again, at most once a second and
        // without waiting for the main thread (which may be waiting for this one).
        const HWND hMain = m_targets.front().hWnd;
        const DWORD dwNow = GetTickCount();
        if ((GetWindowLongA(hMain, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0 && dwNow - m_dwRaised >= 1000) {
            m_dwRaised = dwNow;
            SetWindowPos(hMain, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        }
        for (Target& target : m_targets) {
            Show(target, m_back.m_pixels);
        }
        return DISP_OK;
    }
    DisplayResult GetAttachedSurface(uint32_t dwCaps, DisplaySurface** ppSurface) override {
        if ((dwCaps & DISP_SCAPS_BACKBUFFER) == 0) {
            return DISP_ERR_INVALIDPARAMS;
        }
        *ppSurface = &m_back;
        return DISP_OK;
    }
    DisplayResult GetPixelFormat(DisplayPixelFormat* pFormat) override {
        *pFormat = Format565();
        return DISP_OK;
    }
    DisplayResult GetDC(DrawContext*) override { return DISP_ERR_GENERIC; }
    DisplayResult ReleaseDC(DrawContext) override { return DISP_ERR_GENERIC; }
    void Release() override { delete this; }

private:
    ~ScaledChain() = default;

    IDirectDraw* m_pDD;
    DWORD m_dwRaised = GetTickCount() - 1000; // when the window was last put on top from here
    MemorySurface m_back;
    std::vector<Target> m_targets;
};

} // namespace

DisplaySurface* NewScaledChain(IDirectDraw* pDD, HWND hWnd) {
    try {
        return new ScaledChain(pDD, hWnd);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

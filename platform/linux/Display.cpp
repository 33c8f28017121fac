// The presentation device on Linux. Surfaces are plain memory; a flip or a stretch hands the picture to
// the present module (PresentPicture, Present.h), which puts it on the screen by the window's present
// path: 5-6-5 letterboxed to 4:3 with nearest-neighbour scaling for the full-screen flip chain, 32-bit
// stretched over the client area for windows. Neither SDL nor Xvfb offers a vertical-blank wait that can
// be relied on, so the wait is emulated by sleeping to the next refresh boundary of the display's rate.
// SDisplay is the only caller and passes the same surface descriptions every time; only what depends on
// the run (the window, the order of the calls) is checked.
#include "platform/DisplayDevice.h"

#include "platform/linux/Present.h"
#include "platform/linux/Window.h"

#include <cerrno>
#include <cstdlib>
#include <new>
#include <time.h>

namespace {

uint64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// Sleeps to the next multiple of the period on the monotonic clock, so that a loop of waits keeps the
// display's rate however long each frame took (a frame slower than the period waits for the next one).
void SleepToNextRefresh(uint64_t qwPeriodNs) {
    const uint64_t qwNext = (MonotonicNs() / qwPeriodNs + 1) * qwPeriodNs;
    const timespec deadline{static_cast<time_t>(qwNext / 1000000000u),
                            static_cast<long>(qwNext % 1000000000u)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

DisplayPixelFormat FormatOf(PresentFormat format) {
    DisplayPixelFormat pf{};
    pf.dwSize = sizeof(DisplayPixelFormat);
    pf.dwFlags = DISP_PF_RGB;
    if (format == PRESENT_RGB565) {
        pf.dwRGBBitCount = 16;
        pf.dwRBitMask = 0xF800;
        pf.dwGBitMask = 0x7E0;
        pf.dwBBitMask = 0x1F;
    } else {
        pf.dwRGBBitCount = 32;
        pf.dwRBitMask = 0xFF0000;
        pf.dwGBitMask = 0xFF00;
        pf.dwBBitMask = 0xFF;
    }
    return pf;
}

class MemoryDevice;

// A surface in plain memory: the flip chain's primary (whose back buffer holds the pixels), its back
// buffer, the window's primary (only its loss can be asked) or the off-screen surface.
class MemorySurface final : public DisplaySurface {
public:
    MemorySurface(MemoryDevice* pDevice, PresentFormat format, uint32_t dwWidth, uint32_t dwHeight)
        : m_pDevice(pDevice) {
        m_context.format = format;
        m_context.nWidth = static_cast<int32_t>(dwWidth);
        m_context.nHeight = static_cast<int32_t>(dwHeight);
        m_context.nPitch = static_cast<int32_t>(dwWidth * (format == PRESENT_RGB565 ? 2 : 4));
    }

    // False when the pixel memory cannot be had.
    bool Allocate() {
        m_pPixels =
            std::calloc(static_cast<size_t>(m_context.nPitch) * static_cast<size_t>(m_context.nHeight), 1);
        m_context.pPixels = m_pPixels;
        return m_pPixels != nullptr;
    }

    void Attach(MemorySurface* pBack) { m_pBack = pBack; }

    // Nothing of ours lives in video memory, so nothing is ever lost.
    DisplayResult IsLost() override { return DISP_OK; }
    DisplayResult Restore() override { return DISP_OK; }

    DisplayResult Lock(DisplaySurfaceDesc* pDesc, uint32_t) override {
        if (m_pPixels == nullptr) {
            return DISP_ERR_INVALIDPARAMS;
        }
        pDesc->dwFlags = DISP_SD_HEIGHT | DISP_SD_WIDTH | DISP_SD_PITCH | DISP_SD_PIXELFORMAT;
        pDesc->dwWidth = static_cast<uint32_t>(m_context.nWidth);
        pDesc->dwHeight = static_cast<uint32_t>(m_context.nHeight);
        pDesc->lPitch = m_context.nPitch;
        pDesc->lpSurface = m_pPixels;
        pDesc->ddpfPixelFormat = FormatOf(m_context.format);
        return DISP_OK;
    }
    DisplayResult Unlock() override { return DISP_OK; }

    DisplayResult Flip(uint32_t dwFlags) override;

    DisplayResult GetAttachedSurface(uint32_t, DisplaySurface** ppSurface) override {
        if (m_pBack == nullptr) {
            return DISP_ERR_INVALIDPARAMS;
        }
        *ppSurface = m_pBack;
        return DISP_OK;
    }

    DisplayResult GetPixelFormat(DisplayPixelFormat* pFormat) override {
        *pFormat = FormatOf(m_context.format);
        return DISP_OK;
    }

    DisplayResult GetDC(DrawContext* phDC) override {
        if (m_pPixels == nullptr) {
            return DISP_ERR_INVALIDPARAMS;
        }
        *phDC = reinterpret_cast<DrawContext>(&m_context);
        return DISP_OK;
    }
    DisplayResult ReleaseDC(DrawContext) override { return DISP_OK; }

    void Release() override {
        if (m_pBack != nullptr) {
            m_pBack->Release();
        }
        std::free(m_pPixels);
        delete this;
    }

private:
    MemoryDevice* m_pDevice;
    SurfaceContext m_context{};
    void* m_pPixels = nullptr;
    MemorySurface* m_pBack = nullptr;
};

class MemoryDevice final : public DisplayDevice {
public:
    DisplayResult SetCooperativeLevel(WindowHandle hWnd, uint32_t dwFlags) override {
        // Exclusive use is for the full-screen window only.
        if ((dwFlags & DISP_SCL_EXCLUSIVE) != 0 && SdlHostWindowMode(hWnd) != WINDOW_FULL_SCREEN) {
            return DISP_ERR_INVALIDPARAMS;
        }
        m_hExclusive = (dwFlags & DISP_SCL_EXCLUSIVE) != 0 ? hWnd : 0;
        m_qwPeriodNs = RefreshPeriodNs(hWnd);
        return DISP_OK;
    }

    // The mode is emulated: the picture is letterboxed to its size at any desktop size.
    DisplayResult SetDisplayMode(uint32_t dwWidth, uint32_t dwHeight, uint32_t) override {
        if (m_hExclusive == 0) {
            return DISP_ERR_NOEXCLUSIVEMODE;
        }
        m_hModeWindow = m_hExclusive;
        m_dwModeWidth = dwWidth;
        m_dwModeHeight = dwHeight;
        SetLogicalSize(m_hModeWindow, static_cast<int32_t>(dwWidth), static_cast<int32_t>(dwHeight));
        return DISP_OK;
    }

    DisplayResult RestoreDisplayMode() override {
        if (m_hModeWindow != 0) {
            SetLogicalSize(m_hModeWindow, 0, 0);
            m_hModeWindow = 0;
        }
        return DISP_OK;
    }

    DisplayResult CreateSurface(DisplaySurfaceDesc* pDesc, DisplaySurface** ppSurface) override {
        const uint32_t dwCaps = pDesc->dwCaps;
        if ((dwCaps & DISP_SCAPS_PRIMARYSURFACE) != 0 && (dwCaps & DISP_SCAPS_FLIP) != 0) {
            return m_hModeWindow != 0 ? MakeFlipChain(ppSurface) : DISP_ERR_NOEXCLUSIVEMODE;
        }
        if ((dwCaps & DISP_SCAPS_PRIMARYSURFACE) != 0) {
            *ppSurface = new (std::nothrow) MemorySurface(this, PRESENT_XRGB8888, 0, 0);
            return *ppSurface != nullptr ? DISP_OK : DISP_ERR_OUTOFMEMORY;
        }
        // The off-screen surface, 32-bit XRGB.
        return MakeSurface(PRESENT_XRGB8888, pDesc->dwWidth, pDesc->dwHeight, ppSurface);
    }

    DisplayResult WaitForVerticalBlank(uint32_t) override {
        SleepToNextRefresh(m_qwPeriodNs);
        return DISP_OK;
    }

    void Release() override {
        RestoreDisplayMode();
        delete this;
    }

    // Render thread: the flip chain's back buffer to the screen, at the display's rate.
    DisplayResult Flip(const SurfaceContext& source) {
        PresentRequest request{};
        request.hWnd = m_hModeWindow;
        request.source = source;
        request.bFullScreen = true;
        SleepToNextRefresh(m_qwPeriodNs);
        return PresentPicture(request) ? DISP_OK : DISP_ERR_GENERIC;
    }

private:
    DisplayResult MakeSurface(PresentFormat format, uint32_t dwWidth, uint32_t dwHeight,
                              DisplaySurface** ppSurface) {
        MemorySurface* pSurface = new (std::nothrow) MemorySurface(this, format, dwWidth, dwHeight);
        if (pSurface == nullptr || !pSurface->Allocate()) {
            if (pSurface != nullptr) {
                pSurface->Release();
            }
            return DISP_ERR_OUTOFMEMORY;
        }
        *ppSurface = pSurface;
        return DISP_OK;
    }

    DisplayResult MakeFlipChain(DisplaySurface** ppSurface) {
        DisplaySurface* pBack = nullptr;
        const DisplayResult hr = MakeSurface(PRESENT_RGB565, m_dwModeWidth, m_dwModeHeight, &pBack);
        if (hr != DISP_OK) {
            return hr;
        }
        MemorySurface* pPrimary = new (std::nothrow) MemorySurface(this, PRESENT_RGB565, 0, 0);
        if (pPrimary == nullptr) {
            pBack->Release();
            return DISP_ERR_OUTOFMEMORY;
        }
        pPrimary->Attach(static_cast<MemorySurface*>(pBack));
        *ppSurface = pPrimary;
        return DISP_OK;
    }

    WindowHandle m_hExclusive = 0;
    WindowHandle m_hModeWindow = 0;
    uint32_t m_dwModeWidth = 0;
    uint32_t m_dwModeHeight = 0;
    uint64_t m_qwPeriodNs = 1000000000u / 60;
};

DisplayResult MemorySurface::Flip(uint32_t) {
    if (m_pBack == nullptr) {
        return DISP_ERR_INVALIDPARAMS;
    }
    return m_pDevice->Flip(m_pBack->m_context);
}

// A window's drawing context is its handle tagged in the low bit; a surface's is the address of its
// SurfaceContext, which is never odd.
constexpr DrawContext kWindowTag = 1;

} // namespace

DisplayResult PlatformDirectDrawCreate(DisplayDevice** ppDevice) {
    *ppDevice = new (std::nothrow) MemoryDevice;
    return *ppDevice != nullptr ? DISP_OK : DISP_ERR_OUTOFMEMORY;
}

DrawContext PlatformGetDC(WindowHandle hWnd) {
    if (SdlHostWindowMode(hWnd) == WINDOW_NONE) {
        return 0;
    }
    return (static_cast<DrawContext>(hWnd) << 1) | kWindowTag;
}

void PlatformReleaseDC(WindowHandle, DrawContext) {}

bool PlatformStretchBlt(DrawContext hDest, int32_t nDestX, int32_t nDestY, int32_t nDestWidth,
                        int32_t nDestHeight, DrawContext hSrc, int32_t nSrcX, int32_t nSrcY,
                        int32_t nSrcWidth, int32_t nSrcHeight) {
    if ((hDest & kWindowTag) == 0 || hSrc == 0 || (hSrc & kWindowTag) != 0) {
        return false;
    }
    PresentRequest request{};
    request.hWnd = static_cast<WindowHandle>(hDest >> 1);
    request.source = *reinterpret_cast<const SurfaceContext*>(hSrc);
    request.bFullScreen = false;
    request.src = ClientRect{nSrcX, nSrcY, nSrcX + nSrcWidth, nSrcY + nSrcHeight};
    request.dst = ClientRect{nDestX, nDestY, nDestX + nDestWidth, nDestY + nDestHeight};
    return PresentPicture(request);
}

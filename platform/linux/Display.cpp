// The presentation device on Linux. Surfaces are plain memory; "showing" one goes through SdlHostPresent
// (Present.h), which puts it on the screen by the window's present path: 5-6-5 letterboxed to 4:3 with
// nearest-neighbour scaling for the full-screen flip chain, 32-bit stretched over the client area for
// windows. Neither SDL nor Xvfb offers a vertical-blank wait that can be relied on, so the wait is
// emulated by sleeping to the next refresh boundary of the display's rate.
#include "platform/DisplayDevice.h"

#include "platform/linux/Window.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <time.h>

namespace {

constexpr uint32_t kFullScreenWidth = 320;
constexpr uint32_t kFullScreenHeight = 240;

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

class SdlDevice;

enum SurfaceKind {
    SURFACE_FLIP_PRIMARY, // the full-screen front buffer; its back buffer holds the pixels
    SURFACE_BACK_BUFFER,
    SURFACE_WINDOW_PRIMARY, // the window itself: only its loss can be asked
    SURFACE_OFFSCREEN,
};

class SdlSurface final : public DisplaySurface {
public:
    SdlSurface(SdlDevice* pDevice, SurfaceKind kind, PresentFormat format, uint32_t dwWidth,
               uint32_t dwHeight)
        : m_pDevice(pDevice), m_kind(kind) {
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

    void Attach(SdlSurface* pBack) { m_pBack = pBack; }

    // The textures live on the main thread and are made again there when needed, so nothing is lost.
    DisplayResult IsLost() override { return DISP_OK; }
    DisplayResult Restore() override { return DISP_OK; }

    DisplayResult Lock(DisplaySurfaceDesc* pDesc, uint32_t) override {
        if (pDesc == nullptr || m_pPixels == nullptr) {
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

    DisplayResult GetAttachedSurface(uint32_t dwCaps, DisplaySurface** ppSurface) override {
        if (m_pBack == nullptr || (dwCaps & DISP_SCAPS_BACKBUFFER) == 0 || ppSurface == nullptr) {
            return DISP_ERR_INVALIDPARAMS;
        }
        *ppSurface = m_pBack;
        return DISP_OK;
    }

    DisplayResult GetPixelFormat(DisplayPixelFormat* pFormat) override {
        if (pFormat == nullptr) {
            return DISP_ERR_INVALIDPARAMS;
        }
        *pFormat = FormatOf(m_context.format);
        return DISP_OK;
    }

    DisplayResult GetDC(DrawContext* phDC) override {
        if (phDC == nullptr || m_pPixels == nullptr) {
            return DISP_ERR_INVALIDPARAMS;
        }
        *phDC = reinterpret_cast<DrawContext>(&m_context);
        return DISP_OK;
    }
    DisplayResult ReleaseDC(DrawContext hDC) override {
        return hDC == reinterpret_cast<DrawContext>(&m_context) ? DISP_OK : DISP_ERR_INVALIDPARAMS;
    }

    void Release() override {
        if (m_pBack != nullptr) {
            m_pBack->Release();
        }
        std::free(m_pPixels);
        delete this;
    }

private:
    SdlDevice* m_pDevice;
    SurfaceKind m_kind;
    SurfaceContext m_context{};
    void* m_pPixels = nullptr;
    SdlSurface* m_pBack = nullptr;
    friend class SdlDevice;
};

class SdlDevice final : public DisplayDevice {
public:
    DisplayResult SetCooperativeLevel(WindowHandle hWnd, uint32_t dwFlags) override {
        if ((dwFlags & DISP_SCL_EXCLUSIVE) != 0) {
            // Exclusive use is for the full-screen window only.
            if ((dwFlags & DISP_SCL_FULLSCREEN) == 0 || SdlHostWindowMode(hWnd) != 1) {
                return DISP_ERR_INVALIDPARAMS;
            }
            m_hExclusive = hWnd;
            m_qwPeriodNs = SdlHostRefreshPeriodNs(hWnd);
            return DISP_OK;
        }
        if ((dwFlags & DISP_SCL_NORMAL) == 0) {
            return DISP_ERR_INVALIDPARAMS;
        }
        m_hExclusive = 0;
        m_qwPeriodNs = SdlHostRefreshPeriodNs(hWnd);
        return DISP_OK;
    }

    // The mode is emulated: the picture is letterboxed to its size at any desktop size.
    DisplayResult SetDisplayMode(uint32_t dwWidth, uint32_t dwHeight, uint32_t dwBpp) override {
        if (m_hExclusive == 0) {
            return DISP_ERR_NOEXCLUSIVEMODE;
        }
        if (dwWidth != kFullScreenWidth || dwHeight != kFullScreenHeight || dwBpp != 16) {
            return DISP_ERR_UNSUPPORTEDMODE;
        }
        m_hModeWindow = m_hExclusive;
        SdlHostSetLogicalSize(m_hModeWindow, static_cast<int32_t>(dwWidth), static_cast<int32_t>(dwHeight));
        return DISP_OK;
    }

    DisplayResult RestoreDisplayMode() override {
        if (m_hModeWindow != 0) {
            SdlHostSetLogicalSize(m_hModeWindow, 0, 0);
            m_hModeWindow = 0;
        }
        return DISP_OK;
    }

    DisplayResult CreateSurface(DisplaySurfaceDesc* pDesc, DisplaySurface** ppSurface) override {
        if (pDesc == nullptr || ppSurface == nullptr || (pDesc->dwFlags & DISP_SD_CAPS) == 0) {
            return DISP_ERR_INVALIDPARAMS;
        }
        const uint32_t dwCaps = pDesc->dwCaps;
        if ((dwCaps & DISP_SCAPS_PRIMARYSURFACE) != 0 && (dwCaps & DISP_SCAPS_FLIP) != 0) {
            if (m_hModeWindow == 0) {
                return DISP_ERR_NOEXCLUSIVEMODE;
            }
            if ((pDesc->dwFlags & DISP_SD_BACKBUFFERCOUNT) == 0 || pDesc->dwBackBufferCount != 1) {
                return DISP_ERR_INVALIDPARAMS;
            }
            return MakeFlipChain(ppSurface);
        }
        if ((dwCaps & DISP_SCAPS_PRIMARYSURFACE) != 0) {
            *ppSurface = new (std::nothrow) SdlSurface(this, SURFACE_WINDOW_PRIMARY, PRESENT_XRGB8888, 0, 0);
            return *ppSurface != nullptr ? DISP_OK : DISP_ERR_OUTOFMEMORY;
        }
        return MakeOffscreen(*pDesc, ppSurface);
    }

    DisplayResult WaitForVerticalBlank(uint32_t) override {
        SleepToNextRefresh(m_qwPeriodNs);
        return DISP_OK;
    }

    void Release() override {
        RestoreDisplayMode();
        delete this;
    }

    DisplayResult Present(const SurfaceContext& source) {
        PresentRequest request{};
        request.hWnd = m_hModeWindow;
        request.source = source;
        request.bFullScreen = true;
        SleepToNextRefresh(m_qwPeriodNs);
        return SdlHostPresent(request) ? DISP_OK : DISP_ERR_GENERIC;
    }

private:
    DisplayResult MakeFlipChain(DisplaySurface** ppSurface) {
        SdlSurface* pPrimary = new (std::nothrow)
            SdlSurface(this, SURFACE_FLIP_PRIMARY, PRESENT_RGB565, kFullScreenWidth, kFullScreenHeight);
        SdlSurface* pBack = new (std::nothrow)
            SdlSurface(this, SURFACE_BACK_BUFFER, PRESENT_RGB565, kFullScreenWidth, kFullScreenHeight);
        if (pPrimary == nullptr || pBack == nullptr || !pBack->Allocate()) {
            delete pPrimary;
            if (pBack != nullptr) {
                pBack->Release();
            }
            return DISP_ERR_OUTOFMEMORY;
        }
        pPrimary->Attach(pBack);
        *ppSurface = pPrimary;
        return DISP_OK;
    }

    DisplayResult MakeOffscreen(const DisplaySurfaceDesc& desc, DisplaySurface** ppSurface) {
        const uint32_t dwNeeded = DISP_SD_WIDTH | DISP_SD_HEIGHT | DISP_SD_PIXELFORMAT;
        const DisplayPixelFormat& pf = desc.ddpfPixelFormat;
        // Only the one 32-bit layout that the frame is copied in.
        if ((desc.dwFlags & dwNeeded) != dwNeeded || (desc.dwCaps & DISP_SCAPS_OFFSCREENPLAIN) == 0 ||
            pf.dwRGBBitCount != 32 || pf.dwRBitMask != 0xFF0000 || pf.dwGBitMask != 0xFF00 ||
            pf.dwBBitMask != 0xFF || desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > 4096 ||
            desc.dwHeight > 4096) {
            return DISP_ERR_INVALIDPARAMS;
        }
        SdlSurface* pSurface = new (std::nothrow)
            SdlSurface(this, SURFACE_OFFSCREEN, PRESENT_XRGB8888, desc.dwWidth, desc.dwHeight);
        if (pSurface == nullptr || !pSurface->Allocate()) {
            if (pSurface != nullptr) {
                pSurface->Release();
            }
            return DISP_ERR_OUTOFMEMORY;
        }
        *ppSurface = pSurface;
        return DISP_OK;
    }

    WindowHandle m_hExclusive = 0;
    WindowHandle m_hModeWindow = 0;
    uint64_t m_qwPeriodNs = 1000000000u / 60;
};

DisplayResult SdlSurface::Flip(uint32_t) {
    if (m_kind != SURFACE_FLIP_PRIMARY || m_pBack == nullptr) {
        return DISP_ERR_INVALIDPARAMS;
    }
    return m_pDevice->Present(m_pBack->m_context);
}

// A window's drawing context is its handle tagged in the low bit; a surface's is the address of its
// SurfaceContext, which is never odd.
constexpr DrawContext kWindowTag = 1;

} // namespace

DisplayResult PlatformDirectDrawCreate(DisplayDevice** ppDevice) {
    if (ppDevice == nullptr) {
        return DISP_ERR_INVALIDPARAMS;
    }
    *ppDevice = new (std::nothrow) SdlDevice;
    return *ppDevice != nullptr ? DISP_OK : DISP_ERR_OUTOFMEMORY;
}

DrawContext PlatformGetDC(WindowHandle hWnd) {
    if (SdlHostWindowMode(hWnd) == 0) {
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
    return SdlHostPresent(request);
}

#include "display/SDisplay.h"

#include "display/PixelConvert.h"
#include "framework/SString.h"

#include <cstring>

namespace {

constexpr uint32_t kSurfaceDescSize = 108;
constexpr uint32_t kPixelFormatSize = 32;

} // namespace

SDisplay::SDisplay()
    : m_hWnd(0), bScrMode(0), m_lpDD(nullptr), m_lpPrimarySurface(nullptr), m_lpBackBuffer(nullptr) {
    std::memset(&m_ddpf, 0, sizeof(m_ddpf));
}

void SDisplay::Init(WindowHandle hWnd, uint8_t bMode) {
    m_hWnd = hWnd;
    bScrMode = bMode;
    DisplayResult hr = PlatformDirectDrawCreate(&m_lpDD);
    if (hr != DISP_OK) {
        throw SString(Tr("failed DirectDrawCreate( NULL, &m_lpDD, NULL ) returned %x\n"), hr);
    }
    DisplaySurfaceDesc ddsd;
    if (bScrMode == SCR_FULLSCREEN) {
        hr = m_lpDD->SetCooperativeLevel(m_hWnd,
                                         DISP_SCL_ALLOWREBOOT | DISP_SCL_EXCLUSIVE | DISP_SCL_FULLSCREEN);
        if (hr != DISP_OK) {
            throw SString(
                Tr("failed m_lpDD->SetCooperativeLevel( m_hWnd, DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | "
                   "DDSCL_FULLSCREEN ) returned %x\n"),
                hr);
        }
        hr = m_lpDD->SetDisplayMode(320, 240, 16);
        if (hr != DISP_OK) {
            throw SString(Tr("failed m_lpDD->SetDisplayMode( 320, 240, 16 ) returned %x\n"), hr);
        }
        std::memset(&ddsd, 0, sizeof(ddsd));
        ddsd.dwSize = kSurfaceDescSize;
        ddsd.dwFlags = DISP_SD_CAPS | DISP_SD_BACKBUFFERCOUNT;
        ddsd.dwCaps = DISP_SCAPS_PRIMARYSURFACE | DISP_SCAPS_FLIP | DISP_SCAPS_COMPLEX;
        ddsd.dwBackBufferCount = 1;
        hr = m_lpDD->CreateSurface(&ddsd, &m_lpPrimarySurface);
        if (hr != DISP_OK) {
            throw SString(
                Tr("failed m_lpDD->CreateSurface( &ddsd, &m_lpPrimarySurface, NULL ) returned %x\n"), hr);
        }
        hr = m_lpPrimarySurface->GetAttachedSurface(DISP_SCAPS_BACKBUFFER, &m_lpBackBuffer);
        if (hr != DISP_OK) {
            throw SString(Tr("failed m_lpPrimarySurface->GetAttachedSurface( &ddscaps, &m_lpBackBuffer ) "
                             "returned %x\n"),
                          hr);
        }
        std::memset(&m_ddpf, 0, sizeof(m_ddpf));
        m_ddpf.dwSize = kPixelFormatSize;
        m_ddpf.dwFlags = DISP_PF_RGB;
        hr = m_lpPrimarySurface->GetPixelFormat(&m_ddpf);
        if (hr != DISP_OK) {
            throw SString(Tr("failed m_lpPrimarySurface->GetPixelFormat( &m_ddpf ) returned %x\n"), hr);
        }
    } else if (bScrMode == SCR_WINDOW) {
        hr = m_lpDD->SetCooperativeLevel(0, DISP_SCL_NORMAL);
        if (hr != DISP_OK) {
            throw SString(Tr("failed m_lpDD->SetCooperativeLevel( NULL, DDSCL_NORMAL ) returned %x\n"), hr);
        }
        std::memset(&ddsd, 0, sizeof(ddsd));
        ddsd.dwSize = kSurfaceDescSize;
        ddsd.dwFlags = DISP_SD_CAPS;
        ddsd.dwCaps = DISP_SCAPS_PRIMARYSURFACE;
        hr = m_lpDD->CreateSurface(&ddsd, &m_lpPrimarySurface);
        if (hr != DISP_OK) {
            throw SString(
                Tr("failed m_lpDD->CreateSurface( &ddsd, &m_lpPrimarySurface, NULL ) returned %x\n"), hr);
        }
        std::memset(&ddsd, 0, sizeof(ddsd));
        ddsd.dwSize = kSurfaceDescSize;
        ddsd.dwFlags = DISP_SD_CAPS | DISP_SD_HEIGHT | DISP_SD_WIDTH | DISP_SD_PIXELFORMAT;
        ddsd.dwWidth = 320;
        ddsd.dwHeight = 240;
        ddsd.dwCaps = DISP_SCAPS_OFFSCREENPLAIN | DISP_SCAPS_SYSTEMMEMORY;
        ddsd.ddpfPixelFormat.dwSize = kPixelFormatSize;
        ddsd.ddpfPixelFormat.dwFlags = DISP_PF_RGB;
        ddsd.ddpfPixelFormat.dwRGBBitCount = 32;
        ddsd.ddpfPixelFormat.dwRBitMask = 0xFF0000;
        ddsd.ddpfPixelFormat.dwGBitMask = 0xFF00;
        ddsd.ddpfPixelFormat.dwBBitMask = 0xFF;
        hr = m_lpDD->CreateSurface(&ddsd, &m_lpBackBuffer);
        if (hr != DISP_OK) {
            throw SString(Tr("failed m_lpDD->CreateSurface( &ddsd, &m_lpBackBuffer, NULL ) returned %x\n"),
                          hr);
        }
    } else {
        throw SString(Tr("bScrMode is invalid. bScrMode=%x\n"), bScrMode);
    }
}

DisplayResult SDisplay::Present(const SImage* pFrame) {
    if (m_lpPrimarySurface->IsLost() == DISP_ERR_SURFACELOST) {
        m_lpPrimarySurface->Restore();
    }
    DisplaySurfaceDesc ddsd;
    std::memset(&ddsd, 0, sizeof(ddsd));
    ddsd.dwSize = kSurfaceDescSize;
    DisplayResult hr = m_lpBackBuffer->Lock(&ddsd, DISP_LOCK_WAIT);
    if (hr != DISP_OK) {
        return hr;
    }
    if (bScrMode == SCR_FULLSCREEN) {
        // Any other layout is left unwritten; the chain still flips.
        if (m_ddpf.dwGBitMask == 0x3E0) {
            ConvertTo555(ddsd.lpSurface, ddsd.lPitch, pFrame->pixels);
        } else if (m_ddpf.dwGBitMask == 0x7E0) {
            ConvertTo565(ddsd.lpSurface, ddsd.lPitch, pFrame->pixels);
        }
    } else {
        CopyRows32(ddsd.lpSurface, ddsd.lPitch, pFrame->pixels);
    }
    m_lpBackBuffer->Unlock();
    if (bScrMode == SCR_FULLSCREEN) {
        return m_lpPrimarySurface->Flip(DISP_FLIP_WAIT);
    }
    ClientRect rect{0, 0, 0, 0};
    PlatformGetClientRect(m_hWnd, &rect);
    DrawContext hSurfaceDC = 0;
    hr = m_lpBackBuffer->GetDC(&hSurfaceDC);
    const DrawContext hWindowDC = PlatformGetDC(m_hWnd);
    if (hr == DISP_OK && hWindowDC != 0) {
        m_lpDD->WaitForVerticalBlank(DISP_WAITVB_BLOCKBEGIN);
        PlatformStretchBlt(hWindowDC, 0, 0, rect.right, rect.bottom, hSurfaceDC, 0, 0, 320, 240);
    }
    PlatformReleaseDC(m_hWnd, hWindowDC);
    return m_lpBackBuffer->ReleaseDC(hSurfaceDC);
}

void SDisplay::Release() {
    if (m_lpDD != nullptr) {
        if (bScrMode == SCR_FULLSCREEN) {
            m_lpDD->RestoreDisplayMode();
            m_lpDD->SetCooperativeLevel(m_hWnd, DISP_SCL_NORMAL);
        } else if (bScrMode == SCR_WINDOW && m_lpBackBuffer != nullptr) {
            m_lpBackBuffer->Release();
            m_lpBackBuffer = nullptr;
        }
        if (m_lpPrimarySurface != nullptr) {
            // In full screen this gives back the whole chain, its back buffer included.
            m_lpPrimarySurface->Release();
            m_lpPrimarySurface = nullptr;
        }
        m_lpDD->Release();
        m_lpDD = nullptr;
    }
    m_hWnd = 0;
    bScrMode = 0;
    m_lpPrimarySurface = nullptr;
    m_lpBackBuffer = nullptr;
}

// The presentation device on DirectDraw's first interfaces, and the GDI calls of the windowed present.
//
// Full screen takes the display exclusively and switches it to 320x240 at 16 bits. Where the display
// refuses either, or the user chose so, the device shows the same flip chain scaled on the desktop
// instead (ScaledScreen.h) and the run goes on; the trace says which way was taken.
#include "platform/DisplayDevice.h"

#include "framework/Debug.h"
#include "platform/win32/Monitors.h"
#include "platform/win32/ScaledScreen.h"

#include <windows.h>

#include <ddraw.h>

#include <cstring>
#include <new>

namespace {

HWND NativeWindow(WindowHandle hWnd) {
    return reinterpret_cast<HWND>(hWnd);
}

// The structures' sizes differ between the widths (DDSURFACEDESC is 108 bytes in 32-bit, 120 in 64-bit):
// every structure handed to DirectDraw carries its own sizeof.
void ToNative(const DisplaySurfaceDesc& desc, DDSURFACEDESC* pNative) {
    ZeroMemory(pNative, sizeof(*pNative));
    pNative->dwSize = sizeof(*pNative);
    pNative->dwFlags = desc.dwFlags;
    pNative->dwHeight = desc.dwHeight;
    pNative->dwWidth = desc.dwWidth;
    pNative->lPitch = desc.lPitch;
    pNative->dwBackBufferCount = desc.dwBackBufferCount;
    pNative->ddsCaps.dwCaps = desc.dwCaps;
    pNative->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    pNative->ddpfPixelFormat.dwFlags = desc.ddpfPixelFormat.dwFlags;
    pNative->ddpfPixelFormat.dwFourCC = desc.ddpfPixelFormat.dwFourCC;
    pNative->ddpfPixelFormat.dwRGBBitCount = desc.ddpfPixelFormat.dwRGBBitCount;
    pNative->ddpfPixelFormat.dwRBitMask = desc.ddpfPixelFormat.dwRBitMask;
    pNative->ddpfPixelFormat.dwGBitMask = desc.ddpfPixelFormat.dwGBitMask;
    pNative->ddpfPixelFormat.dwBBitMask = desc.ddpfPixelFormat.dwBBitMask;
    pNative->ddpfPixelFormat.dwRGBAlphaBitMask = desc.ddpfPixelFormat.dwRGBAlphaBitMask;
}

void FromNative(const DDPIXELFORMAT& native, DisplayPixelFormat* pFormat) {
    pFormat->dwFlags = native.dwFlags;
    pFormat->dwFourCC = native.dwFourCC;
    pFormat->dwRGBBitCount = native.dwRGBBitCount;
    pFormat->dwRBitMask = native.dwRBitMask;
    pFormat->dwGBitMask = native.dwGBitMask;
    pFormat->dwBBitMask = native.dwBBitMask;
    pFormat->dwRGBAlphaBitMask = native.dwRGBAlphaBitMask;
}

DisplayResult Result(HRESULT hr) {
    return static_cast<DisplayResult>(hr);
}

class DDrawSurface final : public DisplaySurface {
public:
    // bOwned: a surface of its own, released with Release; the back buffer of a chain is not.
    DDrawSurface(IDirectDrawSurface* pSurface, bool bOwned) : m_pSurface(pSurface), m_bOwned(bOwned) {}

    DisplayResult IsLost() override { return Result(m_pSurface->IsLost()); }
    DisplayResult Restore() override { return Result(m_pSurface->Restore()); }
    DisplayResult Lock(DisplaySurfaceDesc* pDesc, uint32_t dwFlags) override {
        DDSURFACEDESC native{};
        native.dwSize = sizeof(native);
        const HRESULT hr = m_pSurface->Lock(nullptr, &native, dwFlags, nullptr);
        if (SUCCEEDED(hr)) {
            pDesc->dwFlags = native.dwFlags;
            pDesc->dwHeight = native.dwHeight;
            pDesc->dwWidth = native.dwWidth;
            pDesc->lPitch = native.lPitch;
            pDesc->lpSurface = native.lpSurface;
            pDesc->dwCaps = native.ddsCaps.dwCaps;
            FromNative(native.ddpfPixelFormat, &pDesc->ddpfPixelFormat);
        }
        return Result(hr);
    }
    DisplayResult Unlock() override { return Result(m_pSurface->Unlock(nullptr)); }
    DisplayResult Flip(uint32_t dwFlags) override { return Result(m_pSurface->Flip(nullptr, dwFlags)); }
    DisplayResult GetAttachedSurface(uint32_t dwCaps, DisplaySurface** ppSurface) override {
        DDSCAPS caps{};
        caps.dwCaps = dwCaps;
        IDirectDrawSurface* pAttached = nullptr;
        const HRESULT hr = m_pSurface->GetAttachedSurface(&caps, &pAttached);
        if (FAILED(hr)) {
            return Result(hr);
        }
        // The chain keeps the back buffer; the wrapper lives as long as this surface.
        delete m_pAttached;
        m_pAttached = new (std::nothrow) DDrawSurface(pAttached, false);
        if (m_pAttached == nullptr) {
            pAttached->Release();
            return DISP_ERR_OUTOFMEMORY;
        }
        *ppSurface = m_pAttached;
        return DISP_OK;
    }
    DisplayResult GetPixelFormat(DisplayPixelFormat* pFormat) override {
        DDPIXELFORMAT native{};
        native.dwSize = sizeof(native);
        native.dwFlags = pFormat->dwFlags;
        const HRESULT hr = m_pSurface->GetPixelFormat(&native);
        if (SUCCEEDED(hr)) {
            FromNative(native, pFormat);
        }
        return Result(hr);
    }
    DisplayResult GetDC(DrawContext* phDC) override {
        HDC hDC = nullptr;
        const HRESULT hr = m_pSurface->GetDC(&hDC);
        *phDC = reinterpret_cast<DrawContext>(hDC);
        return Result(hr);
    }
    DisplayResult ReleaseDC(DrawContext hDC) override {
        return Result(m_pSurface->ReleaseDC(reinterpret_cast<HDC>(hDC)));
    }
    void Release() override {
        if (m_pAttached != nullptr) {
            // GetAttachedSurface counted a reference of its own.
            m_pAttached->m_pSurface->Release();
            delete m_pAttached;
            m_pAttached = nullptr;
        }
        if (m_bOwned) {
            m_pSurface->Release();
            delete this;
        }
    }

private:
    ~DDrawSurface() = default;

    IDirectDrawSurface* m_pSurface;
    bool m_bOwned;
    DDrawSurface* m_pAttached = nullptr;
};

// The user's choice of the scaled full screen: the DWORD ScaledFullScreen beside the settings, nonzero.
bool ScaledChosen() {
    DWORD dwValue = 0;
    DWORD dwSize = sizeof(dwValue);
    return RegGetValueA(HKEY_CURRENT_USER, "Software\\quillo\\Lumivorra", "ScaledFullScreen",
                        RRF_RT_REG_DWORD, nullptr, &dwValue, &dwSize) == ERROR_SUCCESS &&
           dwValue != 0;
}

// The test switch LUMIVORRA_MODE_SWITCH=refuse: the display refuses 320x240 as one without that mode does.
bool ModeRefusedForTest() {
    char szValue[16] = {};
    const DWORD dwLength = GetEnvironmentVariableA("LUMIVORRA_MODE_SWITCH", szValue, sizeof(szValue));
    return dwLength > 0 && dwLength < sizeof(szValue) && std::strcmp(szValue, "refuse") == 0;
}

class DDrawDevice final : public DisplayDevice {
public:
    explicit DDrawDevice(IDirectDraw* pDD) : m_pDD(pDD) {}

    DisplayResult SetCooperativeLevel(WindowHandle hWnd, uint32_t dwFlags) override {
        if ((dwFlags & DISP_SCL_EXCLUSIVE) == 0) {
            return Result(m_pDD->SetCooperativeLevel(NativeWindow(hWnd), dwFlags));
        }
        m_hWnd = NativeWindow(hWnd);
        if (ScaledChosen()) {
            Trace("SDisplay: full screen scaled on the desktop, as chosen.\n");
            return TakeScaledWay();
        }
        const HRESULT hr = m_pDD->SetCooperativeLevel(m_hWnd, dwFlags);
        if (FAILED(hr)) {
            Trace("SDisplay: exclusive mode refused (%lx): full screen scaled on the desktop.\n",
                  static_cast<unsigned long>(hr));
            return TakeScaledWay();
        }
        return DISP_OK;
    }
    DisplayResult SetDisplayMode(uint32_t dwWidth, uint32_t dwHeight, uint32_t dwBpp) override {
        if (m_bScaled) {
            return DISP_OK;
        }
        const HRESULT hr =
            ModeRefusedForTest() ? DDERR_UNSUPPORTEDMODE : m_pDD->SetDisplayMode(dwWidth, dwHeight, dwBpp);
        if (FAILED(hr)) {
            Trace("SDisplay: mode %lux%lux%lu refused (%lx): full screen scaled on the desktop.\n",
                  static_cast<unsigned long>(dwWidth), static_cast<unsigned long>(dwHeight),
                  static_cast<unsigned long>(dwBpp), static_cast<unsigned long>(hr));
            return TakeScaledWay();
        }
        Trace("SDisplay: mode %lux%lux%lu, exclusive full screen.\n", static_cast<unsigned long>(dwWidth),
              static_cast<unsigned long>(dwHeight), static_cast<unsigned long>(dwBpp));
        return DISP_OK;
    }
    DisplayResult RestoreDisplayMode() override {
        return m_bScaled ? DISP_OK : Result(m_pDD->RestoreDisplayMode());
    }
    DisplayResult CreateSurface(DisplaySurfaceDesc* pDesc, DisplaySurface** ppSurface) override {
        if (m_bScaled && (pDesc->dwCaps & DISP_SCAPS_FLIP) != 0) {
            DisplaySurface* pChain = NewScaledChain(m_pDD, m_hWnd);
            if (pChain == nullptr) {
                return DISP_ERR_OUTOFMEMORY;
            }
            *ppSurface = pChain;
            return DISP_OK;
        }
        DDSURFACEDESC native;
        ToNative(*pDesc, &native);
        IDirectDrawSurface* pSurface = nullptr;
        const HRESULT hr = m_pDD->CreateSurface(&native, &pSurface, nullptr);
        if (FAILED(hr)) {
            return Result(hr);
        }
        DDrawSurface* pWrapper = new (std::nothrow) DDrawSurface(pSurface, true);
        if (pWrapper == nullptr) {
            pSurface->Release();
            return DISP_ERR_OUTOFMEMORY;
        }
        *ppSurface = pWrapper;
        return DISP_OK;
    }
    DisplayResult WaitForVerticalBlank(uint32_t dwFlags) override {
        return Result(m_pDD->WaitForVerticalBlank(dwFlags, nullptr));
    }
    void Release() override {
        m_pDD->Release();
        delete this;
    }

private:
    ~DDrawDevice() = default;

    // From here on the full screen is the scaled one: the display is given back to the desktop (normal
    // access, no mode of our own) and the window put above every other. A window that owns top-most
    // windows cannot join them there itself (Wine keeps it below its owned ones), so the other monitors'
    // covers are made again once it is.
    DisplayResult TakeScaledWay() {
        m_bScaled = true;
        m_pDD->SetCooperativeLevel(m_hWnd, DDSCL_NORMAL);
        UncoverSecondaryMonitors(m_hWnd);
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        CoverSecondaryMonitors(m_hWnd);
        return DISP_OK;
    }

    IDirectDraw* m_pDD;
    HWND m_hWnd = nullptr;
    bool m_bScaled = false;
};

} // namespace

DisplayResult PlatformDirectDrawCreate(DisplayDevice** ppDevice) {
    IDirectDraw* pDD = nullptr;
    const HRESULT hr = DirectDrawCreate(nullptr, &pDD, nullptr);
    if (FAILED(hr)) {
        return Result(hr);
    }
    DDrawDevice* pDevice = new (std::nothrow) DDrawDevice(pDD);
    if (pDevice == nullptr) {
        pDD->Release();
        return DISP_ERR_OUTOFMEMORY;
    }
    *ppDevice = pDevice;
    return DISP_OK;
}

bool PlatformGetClientRect(WindowHandle hWnd, ClientRect* pRect) {
    RECT rect{};
    if (!GetClientRect(NativeWindow(hWnd), &rect)) {
        return false;
    }
    *pRect = ClientRect{rect.left, rect.top, rect.right, rect.bottom};
    return true;
}

DrawContext PlatformGetDC(WindowHandle hWnd) {
    return reinterpret_cast<DrawContext>(GetDC(NativeWindow(hWnd)));
}

void PlatformReleaseDC(WindowHandle hWnd, DrawContext hDC) {
    ReleaseDC(NativeWindow(hWnd), reinterpret_cast<HDC>(hDC));
}

bool PlatformStretchBlt(DrawContext hDest, int32_t nDestX, int32_t nDestY, int32_t nDestWidth,
                        int32_t nDestHeight, DrawContext hSrc, int32_t nSrcX, int32_t nSrcY,
                        int32_t nSrcWidth, int32_t nSrcHeight) {
    return StretchBlt(reinterpret_cast<HDC>(hDest), nDestX, nDestY, nDestWidth, nDestHeight,
                      reinterpret_cast<HDC>(hSrc), nSrcX, nSrcY, nSrcWidth, nSrcHeight, SRCCOPY) != FALSE;
}

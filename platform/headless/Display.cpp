#include "platform/headless/Display.h"
#include "platform/DisplayDevice.h"
#include "platform/headless/Window.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

struct Failure {
    int nOccurrence;
    DisplayResult hr;
};

std::mutex g_lock;
std::vector<std::string> g_log;
std::map<std::string, Failure> g_failures;
std::map<std::string, int> g_calls;
std::set<const void*> g_surfaces; // every live surface, back buffers included, for finding a DC's owner
std::function<void(const PresentedFrame&)> g_sink;
uint32_t g_dwGreenMask = 0x7E0;
int32_t g_nRowPadding = 0;
bool g_bLost = false;
int g_nLiveObjects = 0;

void Log(const std::string& line) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_log.push_back(line);
}

// Records the call and returns the failure a test asked for, or DISP_OK.
DisplayResult Call(const std::string& name, const std::string& line) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_log.push_back(line);
    const int nCount = ++g_calls[name];
    const auto it = g_failures.find(name);
    return it != g_failures.end() && it->second.nOccurrence == nCount ? it->second.hr : DISP_OK;
}

void Deliver(const PresentedFrame& frame) {
    std::function<void(const PresentedFrame&)> sink;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        sink = g_sink;
    }
    if (sink) {
        sink(frame);
    }
}

class HeadlessSurface final : public DisplaySurface {
public:
    enum Kind { FLIP_PRIMARY, BACK_BUFFER, PRIMARY, OFFSCREEN };

    HeadlessSurface(Kind kind, uint32_t dwBitCount) : m_kind(kind), m_dwBitCount(dwBitCount) {
        std::lock_guard<std::mutex> lock(g_lock);
        m_lPitch = kWidth * static_cast<int32_t>(dwBitCount / 8) + g_nRowPadding;
        m_pixels.assign(static_cast<size_t>(m_lPitch) * kHeight, 0);
        g_surfaces.insert(this);
        if (kind == FLIP_PRIMARY) {
            m_pBack = new HeadlessSurface(BACK_BUFFER, dwBitCount, m_lPitch);
        }
        if (kind != BACK_BUFFER) {
            ++g_nLiveObjects;
        }
    }

    DisplayResult IsLost() override {
        Log("IsLost");
        std::lock_guard<std::mutex> lock(g_lock);
        return g_bLost && m_kind != OFFSCREEN ? DISP_ERR_SURFACELOST : DISP_OK;
    }
    DisplayResult Restore() override {
        Log("Restore");
        std::lock_guard<std::mutex> lock(g_lock);
        g_bLost = false;
        return DISP_OK;
    }
    DisplayResult Lock(DisplaySurfaceDesc* pDesc, uint32_t dwFlags) override {
        const DisplayResult hr = Call("Lock", "Lock " + Hex(dwFlags));
        if (hr != DISP_OK) {
            return hr;
        }
        if (pDesc == nullptr || pDesc->dwSize != 108) {
            return DISP_ERR_INVALIDPARAMS;
        }
        pDesc->dwWidth = kWidth;
        pDesc->dwHeight = kHeight;
        pDesc->lPitch = m_lPitch;
        pDesc->lpSurface = m_pixels.data();
        pDesc->ddpfPixelFormat.dwRGBBitCount = m_dwBitCount;
        return DISP_OK;
    }
    DisplayResult Unlock() override {
        Log("Unlock");
        return DISP_OK;
    }
    DisplayResult Flip(uint32_t dwFlags) override {
        const DisplayResult hr = Call("Flip", "Flip " + Hex(dwFlags));
        if (hr != DISP_OK) {
            return hr;
        }
        if (m_pBack == nullptr) {
            return DISP_ERR_GENERIC;
        }
        Deliver(PresentedFrame{true, kWidth, kHeight, m_dwBitCount, m_lPitch, m_pBack->m_pixels});
        std::swap(m_pixels, m_pBack->m_pixels);
        return DISP_OK;
    }
    DisplayResult GetAttachedSurface(uint32_t dwCaps, DisplaySurface** ppSurface) override {
        const DisplayResult hr = Call("GetAttachedSurface", "GetAttachedSurface " + Hex(dwCaps));
        if (hr != DISP_OK || m_pBack == nullptr || dwCaps != DISP_SCAPS_BACKBUFFER) {
            return hr != DISP_OK ? hr : DISP_ERR_INVALIDPARAMS;
        }
        *ppSurface = m_pBack;
        return DISP_OK;
    }
    DisplayResult GetPixelFormat(DisplayPixelFormat* pFormat) override {
        const DisplayResult hr = Call("GetPixelFormat", "GetPixelFormat");
        if (hr != DISP_OK) {
            return hr;
        }
        if (pFormat->dwSize != 32) {
            return DISP_ERR_INVALIDPARAMS;
        }
        std::lock_guard<std::mutex> lock(g_lock);
        pFormat->dwFlags = DISP_PF_RGB;
        pFormat->dwRGBBitCount = m_dwBitCount;
        pFormat->dwGBitMask = g_dwGreenMask;
        pFormat->dwRBitMask = g_dwGreenMask == 0x3E0 ? 0x7C00 : 0xF800;
        pFormat->dwBBitMask = 0x1F;
        return DISP_OK;
    }
    DisplayResult GetDC(DrawContext* phDC) override {
        const DisplayResult hr = Call("GetDC", "GetDC surface");
        if (hr != DISP_OK) {
            return hr;
        }
        *phDC = reinterpret_cast<DrawContext>(this);
        return DISP_OK;
    }
    DisplayResult ReleaseDC(DrawContext hDC) override {
        Log("ReleaseDC surface");
        return hDC == reinterpret_cast<DrawContext>(this) ? DISP_OK : DISP_ERR_INVALIDPARAMS;
    }
    void Release() override {
        static const char* const kNames[] = {"Release primary", "Release back buffer", "Release primary",
                                             "Release offscreen"};
        Log(kNames[m_kind]);
        if (m_kind == BACK_BUFFER) {
            return; // given back with its chain
        }
        delete this;
    }

    // A stretch from this surface's context: the picture as the window would show it.
    void DeliverStretch(int32_t nDestWidth, int32_t nDestHeight) const {
        Deliver(PresentedFrame{false, nDestWidth, nDestHeight, m_dwBitCount, m_lPitch, m_pixels});
    }

private:
    HeadlessSurface(Kind kind, uint32_t dwBitCount, int32_t lPitch)
        : m_kind(kind), m_dwBitCount(dwBitCount), m_lPitch(lPitch),
          m_pixels(static_cast<size_t>(lPitch) * kHeight, 0) {
        g_surfaces.insert(this);
    }
    ~HeadlessSurface() {
        delete m_pBack;
        std::lock_guard<std::mutex> lock(g_lock);
        g_surfaces.erase(this);
        if (m_kind != BACK_BUFFER) {
            --g_nLiveObjects;
        }
    }
    static std::string Hex(uint32_t dwValue) {
        char szText[16];
        std::snprintf(szText, sizeof(szText), "0x%x", dwValue);
        return szText;
    }

    Kind m_kind;
    uint32_t m_dwBitCount;
    int32_t m_lPitch = 0;
    std::vector<uint8_t> m_pixels;
    HeadlessSurface* m_pBack = nullptr;
};

class HeadlessDevice final : public DisplayDevice {
public:
    HeadlessDevice() {
        std::lock_guard<std::mutex> lock(g_lock);
        ++g_nLiveObjects;
    }
    DisplayResult SetCooperativeLevel(WindowHandle hWnd, uint32_t dwFlags) override {
        char szLine[64];
        std::snprintf(szLine, sizeof(szLine), "SetCooperativeLevel %s 0x%x", hWnd == 0 ? "null" : "window",
                      dwFlags);
        return Call("SetCooperativeLevel", szLine);
    }
    DisplayResult SetDisplayMode(uint32_t dwWidth, uint32_t dwHeight, uint32_t dwBpp) override {
        return Call("SetDisplayMode", "SetDisplayMode " + std::to_string(dwWidth) + " " +
                                          std::to_string(dwHeight) + " " + std::to_string(dwBpp));
    }
    DisplayResult RestoreDisplayMode() override {
        Log("RestoreDisplayMode");
        return DISP_OK;
    }
    DisplayResult CreateSurface(DisplaySurfaceDesc* pDesc, DisplaySurface** ppSurface) override {
        const uint32_t dwChain = DISP_SCAPS_PRIMARYSURFACE | DISP_SCAPS_FLIP | DISP_SCAPS_COMPLEX;
        const char* pszKind = pDesc->dwCaps == dwChain                           ? "flip chain"
                              : pDesc->dwCaps == DISP_SCAPS_PRIMARYSURFACE       ? "primary"
                              : (pDesc->dwCaps & DISP_SCAPS_OFFSCREENPLAIN) != 0 ? "offscreen"
                                                                                 : "unknown";
        const DisplayResult hr = Call("CreateSurface", std::string("CreateSurface ") + pszKind);
        if (hr != DISP_OK) {
            return hr;
        }
        if (pDesc->dwSize != 108) {
            return DISP_ERR_INVALIDPARAMS;
        }
        if (pDesc->dwCaps == dwChain && (pDesc->dwFlags & DISP_SD_BACKBUFFERCOUNT) != 0 &&
            pDesc->dwBackBufferCount == 1) {
            *ppSurface = new HeadlessSurface(HeadlessSurface::FLIP_PRIMARY, 16);
        } else if (pDesc->dwCaps == DISP_SCAPS_PRIMARYSURFACE) {
            *ppSurface = new HeadlessSurface(HeadlessSurface::PRIMARY, 32);
        } else if ((pDesc->dwCaps & DISP_SCAPS_OFFSCREENPLAIN) != 0 && pDesc->dwWidth == kWidth &&
                   pDesc->dwHeight == kHeight && pDesc->ddpfPixelFormat.dwSize == 32 &&
                   pDesc->ddpfPixelFormat.dwRGBBitCount == 32) {
            *ppSurface = new HeadlessSurface(HeadlessSurface::OFFSCREEN, 32);
        } else {
            return DISP_ERR_INVALIDPARAMS;
        }
        return DISP_OK;
    }
    DisplayResult WaitForVerticalBlank(uint32_t dwFlags) override {
        return Call("WaitForVerticalBlank", "WaitForVerticalBlank " + std::to_string(dwFlags));
    }
    void Release() override {
        Log("Release device");
        {
            std::lock_guard<std::mutex> lock(g_lock);
            --g_nLiveObjects;
        }
        delete this;
    }
};

} // namespace

DisplayResult PlatformDirectDrawCreate(DisplayDevice** ppDevice) {
    const DisplayResult hr = Call("DirectDrawCreate", "DirectDrawCreate");
    if (hr != DISP_OK) {
        *ppDevice = nullptr;
        return hr;
    }
    *ppDevice = new HeadlessDevice;
    return DISP_OK;
}

bool PlatformGetClientRect(WindowHandle hWnd, ClientRect* pRect) {
    Log("GetClientRect");
    int32_t nWidth = 0, nHeight = 0;
    if (!HeadlessWindowClientSize(hWnd, &nWidth, &nHeight)) {
        return false;
    }
    *pRect = ClientRect{0, 0, nWidth, nHeight};
    return true;
}

DrawContext PlatformGetDC(WindowHandle hWnd) {
    Log("GetDC window");
    return HeadlessWindowAlive(hWnd) ? static_cast<DrawContext>(hWnd) : 0;
}

void PlatformReleaseDC(WindowHandle, DrawContext) {
    Log("ReleaseDC window");
}

bool PlatformStretchBlt(DrawContext hDest, int32_t nDestX, int32_t nDestY, int32_t nDestWidth,
                        int32_t nDestHeight, DrawContext hSrc, int32_t nSrcX, int32_t nSrcY,
                        int32_t nSrcWidth, int32_t nSrcHeight) {
    char szLine[96];
    std::snprintf(szLine, sizeof(szLine), "StretchBlt %d %d %d %d <- %d %d %d %d", nDestX, nDestY, nDestWidth,
                  nDestHeight, nSrcX, nSrcY, nSrcWidth, nSrcHeight);
    Log(szLine);
    const HeadlessSurface* pSource = reinterpret_cast<const HeadlessSurface*>(hSrc);
    {
        std::lock_guard<std::mutex> lock(g_lock);
        if (hDest == 0 || g_surfaces.count(pSource) == 0) {
            return false;
        }
    }
    // A destination of no area shows nothing.
    if (nDestWidth > 0 && nDestHeight > 0) {
        pSource->DeliverStretch(nDestWidth, nDestHeight);
    }
    return true;
}

void HeadlessResetDisplay() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_log.clear();
    g_failures.clear();
    g_calls.clear();
    g_sink = nullptr;
    g_dwGreenMask = 0x7E0;
    g_nRowPadding = 0;
    g_bLost = false;
}

void HeadlessFailDisplayCall(const std::string& call, int nOccurrence, DisplayResult hr) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_failures[call] = Failure{nOccurrence, hr};
}

void HeadlessSetGreenMask(uint32_t dwGreenMask) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_dwGreenMask = dwGreenMask;
}

void HeadlessSetRowPadding(int32_t nBytes) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_nRowPadding = nBytes;
}

void HeadlessLoseSurfaces() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_bLost = true;
}

void HeadlessSetPresentSink(std::function<void(const PresentedFrame&)> sink) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_sink = std::move(sink);
}

std::vector<std::string> HeadlessDisplayLog() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_log;
}

void HeadlessClearDisplayLog() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_log.clear();
}

int HeadlessLiveDisplayObjects() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_nLiveObjects;
}

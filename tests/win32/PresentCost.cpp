// lumivorra-present-cost: what one full-screen present costs, on the way the screen saver takes.
//
//     lumivorra-present-cost exclusive|scaled|ddraw-blit FRAMES
//
// exclusive: 320x240 at 16 bits, flipped (SDisplay as the run uses it); scaled: the same with the mode
// refused, shown scaled on the desktop through GDI; ddraw-blit: the other way the scaled picture could
// take, drawn here for the comparison: the 5-6-5 picture scaled into a 32-bit system-memory surface and
// blitted to the primary surface through a clipper. Prints the wall time and this thread's processor time
// per frame, both in microseconds. Not a test: a measurement, run by hand under Wine.
#include "display/NearestScale.h"
#include "display/PixelConvert.h"
#include "display/SDisplay.h"
#include "framework/Debug.h"
#include "framework/SString.h"
#include "imaging/SImage.h"

#include <windows.h>

#include <ddraw.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double Seconds() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double ThreadSeconds() {
    FILETIME created;
    FILETIME ended;
    FILETIME kernel;
    FILETIME user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    auto value = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return value(kernel) + value(user);
}

void Paint(SImage& frame, int nFrame) {
    for (int32_t y = 0; y < 240; ++y) {
        for (int32_t x = 0; x < 320; ++x) {
            frame.pixels[y * 320 + x] =
                static_cast<uint32_t>(((x + nFrame) & 0xFF) << 16 | (y & 0xFF) << 8 | nFrame);
        }
    }
}

// The scaled picture through DirectDraw's windowed blit.
class BlitWay {
public:
    bool Init(HWND hWnd) {
        m_hWnd = hWnd;
        if (FAILED(DirectDrawCreate(nullptr, &m_pDD, nullptr)) ||
            FAILED(m_pDD->SetCooperativeLevel(hWnd, DDSCL_NORMAL))) {
            return false;
        }
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        if (FAILED(m_pDD->CreateSurface(&desc, &m_pPrimary, nullptr)) ||
            FAILED(m_pDD->CreateClipper(0, &m_pClipper, nullptr)) || FAILED(m_pClipper->SetHWnd(0, hWnd)) ||
            FAILED(m_pPrimary->SetClipper(m_pClipper))) {
            return false;
        }
        RECT client{};
        GetClientRect(hWnd, &client);
        m_box = LetterboxRect(320, 240, client.right, client.bottom);
        desc = DDSURFACEDESC{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = static_cast<DWORD>(m_box.w);
        desc.dwHeight = static_cast<DWORD>(m_box.h);
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = 32;
        desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
        desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
        desc.ddpfPixelFormat.dwBBitMask = 0xFF;
        return SUCCEEDED(m_pDD->CreateSurface(&desc, &m_pScaled, nullptr));
    }
    void Present(const SImage& frame) {
        ConvertTo565(m_back.data(), 640, frame.pixels);
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof(desc);
        if (SUCCEEDED(m_pScaled->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
            m_scaler.Scale(m_back.data(), 640, SCALE_RGB565, ScaleRect{0, 0, 320, 240},
                           static_cast<uint32_t*>(desc.lpSurface), desc.lPitch,
                           ScaleRect{0, 0, m_box.w, m_box.h});
            m_pScaled->Unlock(nullptr);
        }
        m_pDD->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        POINT origin{0, 0};
        ClientToScreen(m_hWnd, &origin);
        RECT dest{origin.x + m_box.x, origin.y + m_box.y, origin.x + m_box.x + m_box.w,
                  origin.y + m_box.y + m_box.h};
        m_pPrimary->Blt(&dest, m_pScaled, nullptr, DDBLT_WAIT, nullptr);
    }

private:
    HWND m_hWnd = nullptr;
    IDirectDraw* m_pDD = nullptr;
    IDirectDrawSurface* m_pPrimary = nullptr;
    IDirectDrawSurface* m_pScaled = nullptr;
    IDirectDrawClipper* m_pClipper = nullptr;
    ScaleRect m_box{};
    NearestScaler m_scaler;
    std::vector<uint16_t> m_back = std::vector<uint16_t>(320 * 240);
};

// The display's word on which way it took.
void PrintTrace(const char* pszLine) {
    std::fputs(pszLine, stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lumivorra-present-cost exclusive|scaled|ddraw-blit FRAMES\n");
        return 3;
    }
    const char* pszWay = argv[1];
    const int nFrames = std::atoi(argv[2]);
    if (std::strcmp(pszWay, "scaled") == 0) {
        SetEnvironmentVariableA("LUMIVORRA_MODE_SWITCH", "refuse");
    }
    SetTraceSink(PrintTrace);
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = "LumivorraCost";
    RegisterClassA(&cls);
    const HWND hWnd = CreateWindowExA(WS_EX_APPWINDOW, cls.lpszClassName, "cost", WS_POPUP | WS_VISIBLE, 0, 0,
                                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                      nullptr, cls.hInstance, nullptr);
    SImage frame(320, 240);
    SDisplay display;
    BlitWay blit;
    const bool bBlit = std::strcmp(pszWay, "ddraw-blit") == 0;
    try {
        if (bBlit) {
            if (!blit.Init(hWnd)) {
                std::fprintf(stderr, "no DirectDraw blit\n");
                return 1;
            }
        } else {
            display.Init(reinterpret_cast<WindowHandle>(hWnd), SCR_FULLSCREEN);
        }
    } catch (const SString& error) {
        std::fprintf(stderr, "%s", error.Text());
        return 1;
    }
    double dWall = 0;
    double dCpu = 0;
    for (int i = -10; i < nFrames; ++i) { // ten frames to settle first
        Paint(frame, i);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        const double dStart = Seconds();
        const double dCpuStart = ThreadSeconds();
        if (bBlit) {
            blit.Present(frame);
        } else {
            display.Present(&frame);
        }
        if (i >= 0) {
            dWall += Seconds() - dStart;
            dCpu += ThreadSeconds() - dCpuStart;
        }
    }
    display.Release();
    std::printf("%s %dx%d: %.0f us a frame, %.0f us of this thread's processor time\n", pszWay,
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), dWall / nFrames * 1e6,
                dCpu / nFrames * 1e6);
    return 0;
}
